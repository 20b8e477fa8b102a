#include "modules/vmcalib/vmcalib_static.h"

#include "modules/vmcalib/vmcalib_entries.h"

void BindStaticVmCaLib(CVmCaLib* b) {
    b->f0 = VmCaLib_f0;
    b->f1 = VmCaLib_f1;
    b->f2 = VmCaLib_f2;
    b->f3 = VmCaLib_f3;
    b->f4 = VmCaLib_f4;
    b->f5 = VmCaLib_f5;
    b->f6 = VmCaLib_f6;
    b->f7 = VmCaLib_f7;
    b->f8 = VmCaLib_f8;
    b->f10 = VmCaLib_f10;
    b->f11 = VmCaLib_f11;
    b->f12 = VmCaLib_f12;
    b->f13 = VmCaLib_f13;
    b->f14 = VmCaLib_f14;
    b->f15 = VmCaLib_f15;
}
