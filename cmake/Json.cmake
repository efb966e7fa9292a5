# nlohmann-json, header-only, from Debian's nlohmann-json3-dev, for the desktop and browser builds
# alike. Only its own folder is linked into the build tree: the browser build must not see the
# rest of the system's headers.
find_path(PERNA_NLOHMANN_JSON nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(PERNA_JSON_ROOT ${CMAKE_BINARY_DIR}/third_party/nlohmann-json)
file(MAKE_DIRECTORY ${PERNA_JSON_ROOT})
file(CREATE_LINK ${PERNA_NLOHMANN_JSON}/nlohmann ${PERNA_JSON_ROOT}/nlohmann SYMBOLIC)
add_library(pp_json INTERFACE)
target_include_directories(pp_json SYSTEM INTERFACE ${PERNA_JSON_ROOT})
