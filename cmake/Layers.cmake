# The game itself is plain C++ without Qt, in layers that point one way: the game record at the
# bottom; quiz data, persistence and screens on it; the engine with the Game on top of those.
# Each folder is a static library whose headers only the libraries linking it can include, so
# an include against the direction fails to build. The desktop and the browser builds both
# declare the layers here, so the browser compiles exactly the code the desktop runs.
# Frontends and tools declare their libraries with perna_layer too, so that no target sees the
# repository's top folder: each sees only the folders of what it links.
# PERNA_ROOT is the repository's top folder; the caller adds each folder's sources after this.
# `folder` may be nested (tools/replay): its headers are still included by their full path.
function(perna_layer target folder)
  set(root ${CMAKE_BINARY_DIR}/layers/${folder})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${PERNA_ROOT}/${folder} ${root}/${folder} SYMBOLIC)
  add_library(${target} STATIC)
  target_include_directories(${target} PUBLIC ${root})
  target_link_libraries(${target} PUBLIC ${ARGN})
endfunction()

perna_layer(pp_record record)
perna_layer(pp_quizdata quizdata pp_record)
perna_layer(pp_persistence persistence pp_record)
perna_layer(pp_screens screens pp_record)
perna_layer(pp_engine engine pp_quizdata pp_persistence pp_screens)
# Beside the game, for kqd, quiz-replay, the window's recorder and the page's module: UTF-8, JSON
# string literals and the quiz-file encoder.
perna_layer(pp_encoding encoding pp_quizdata)
# The shared game's rules and messages; only the desktop hosts one, so the browser build leaves it out.
if(NOT EMSCRIPTEN)
  perna_layer(pp_party party pp_quizdata pp_persistence pp_json pp_encoding)
endif()
