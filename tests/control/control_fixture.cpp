#include "tests/control/control_fixture.h"

namespace {
const auto* const kOle = ::testing::AddGlobalTestEnvironment(new OleEnvironment);
}  // namespace

host::CControlHost* ControlTest::sharedHost = nullptr;
