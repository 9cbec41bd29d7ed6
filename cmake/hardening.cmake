# Hardening of every program and library that the build makes, shipped files
# and tests alike (they share the runtime layer's objects). On Linux these are
# the flags of dpkg-buildflags with hardening=+all; on Windows the stack
# protector and fortified functions of mingw-w64, whose support library is
# linked in (-static), so the files still import only system DLLs and msvcrt.
# The sanitizer and fuzz presets turn it off: fortified functions hide the
# calls that the sanitizers watch.
option(NORVANE_HARDEN "Build with the stack protector, fortified functions and the linker's hardening" ON)
if(NOT NORVANE_HARDEN)
  return()
endif()

set(c_or_cxx $<COMPILE_LANGUAGE:C,CXX>)
add_compile_options(
  $<${c_or_cxx}:-fstack-protector-strong>
  $<${c_or_cxx}:-Wformat> $<${c_or_cxx}:-Werror=format-security>)
# Fortified functions need an optimized build; a Debug build goes without.
set(optimized $<AND:${c_or_cxx},$<NOT:$<CONFIG:Debug>>>)
add_compile_options($<${optimized}:-U_FORTIFY_SOURCE>
                    $<${optimized}:-D_FORTIFY_SOURCE=2>)
# The driver links the stack protector's support library.
add_link_options(-fstack-protector-strong)

if(WIN32)
  # Address-space randomization and no execution from data pages, for both
  # widths; 64-bit files use the whole 64-bit address space for it.
  add_link_options(LINKER:--dynamicbase LINKER:--nxcompat)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    add_link_options(LINKER:--high-entropy-va)
  else()
    # 32-bit files carry no table of safe exception handlers (GNU ld makes
    # none), so they say that they have no handlers at all: the code
    # registers none, and the loader then refuses any that an attack plants.
    add_link_options(LINKER:--no-seh)
  endif()
else()
  add_compile_options($<${c_or_cxx}:-fstack-clash-protection>
                      $<${c_or_cxx}:-fcf-protection>)
  # Relocations read-only after start-up, every symbol bound at start-up,
  # and position-independent programs.
  add_link_options(LINKER:-z,relro LINKER:-z,now)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  include(CheckPIESupported)
  check_pie_supported(LANGUAGES C CXX)
endif()
