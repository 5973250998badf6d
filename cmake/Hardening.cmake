# Debian's hardening flags (what dpkg-buildflags gives a package, plus stack clash and control
# flow protection) for optimised builds on Linux: the release and the package. Debug builds
# stay without them: _FORTIFY_SOURCE needs optimisation, and the sanitizers check more.
# Programs are position independent already (Debian's compiler makes PIE by default, Qt asks
# for PIC). scripts/package.sh --check verifies all of it on every packaged program.
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux" OR NOT VEXILO_HARDENING)
  return()
endif()

include(CheckCXXCompilerFlag)

set(vexilo_hardening_flags -fstack-protector-strong -fstack-clash-protection -Wformat
    -Werror=format-security -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2)
# Control flow protection exists on x86 only.
check_cxx_compiler_flag(-fcf-protection vexilo_has_cf_protection)
if(vexilo_has_cf_protection)
  list(APPEND vexilo_hardening_flags -fcf-protection)
endif()
set(vexilo_optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
add_compile_options("$<$<AND:${vexilo_optimised},$<COMPILE_LANGUAGE:C,CXX>>:${vexilo_hardening_flags}>")
# Full RELRO: the relocations read-only, every symbol bound at start.
add_link_options("$<${vexilo_optimised}:LINKER:-z,relro;LINKER:-z,now>")
