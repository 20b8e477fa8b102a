# Sourced by the build scripts: compile through ccache (installed by
# scripts/setup), with paths taken relative to the checkout, so that a rebuild
# or another clone on the same machine reuses what was compiled before. Read
# by CMake when a build tree is configured.
if command -v ccache >/dev/null 2>&1; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root} CCACHE_NOHASHDIR=true
  export CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-20G}
fi
