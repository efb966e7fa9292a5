# Writes the message template from the sources and merges it into each language's catalogue (the
# kqd-pot target); or, given COMPARE_WITH, checks that the catalogue translates every text of the
# template (a test).
# The sources whose texts reach a quiz maker: the readers of tables and sheets, and kqd.
file(GLOB sources ${SOURCE_DIR}/authoring/*.cpp ${SOURCE_DIR}/tools/kqd/*.cpp)
list(SORT sources)
execute_process(COMMAND ${XGETTEXT} --language=C++ --from-code=UTF-8 --keyword=msg --keyword=untranslated
  --flag=msg:1:qt-format --flag=untranslated:1:qt-format --sort-by-file --no-location
  --package-name=kqd --msgid-bugs-address=pocketperna@example.org -o ${POT} ${sources} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "xgettext failed")
endif()
if(COMPARE_WITH)
  execute_process(COMMAND msgcmp ${COMPARE_WITH} ${POT} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${COMPARE_WITH} lacks texts of the sources: run the kqd-pot target and translate them")
  endif()
else()
  foreach(lang IN LISTS LANGUAGES)
    execute_process(COMMAND ${MSGMERGE} --quiet --update --backup=none --no-location --sort-output
      ${SOURCE_DIR}/po/${lang}.po ${POT} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "msgmerge failed on ${lang}.po")
    endif()
  endforeach()
endif()
