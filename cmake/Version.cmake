# The version, set once: the desktop and browser projects take it before project(), and the
# program's --version, its About box and the Debian package take it from there.
set(PERNA_VERSION 1.1)

# pp_version: "version/Version.h" with the project's version as pp::kVersion. Call after project().
function(perna_version_library)
  set(root ${CMAKE_BINARY_DIR}/generated/version)
  configure_file(${PERNA_ROOT}/cmake/Version.h.in ${root}/version/Version.h @ONLY)
  add_library(pp_version INTERFACE)
  target_include_directories(pp_version INTERFACE ${root})
endfunction()
