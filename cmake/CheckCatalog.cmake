# The test behind zub_add_catalog: run with cmake -P and the variables that
# function passes.
string(REPLACE "|" ";" SOURCES "${SOURCES}")
file(MAKE_DIRECTORY ${WORK})
set(pot ${WORK}/${DOMAIN}.pot)
execute_process(
  COMMAND ${XGETTEXT} --from-code=UTF-8 --language=C++ --no-location --sort-output --force-po
    --keyword=tr --keyword=trf --keyword=ZUB_N_ --flag=trf:1:c-format -o ${pot} ${SOURCES}
  RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "xgettext failed: ${err}")
endif()
set(failed "")
foreach(lang ${LANGUAGES})
  set(po ${PO_DIR}/${lang}.po)
  # Every marked text has a translation (fuzzy ones do not count).
  execute_process(COMMAND ${MSGCMP} ${po} ${pot}
    RESULT_VARIABLE rc ERROR_VARIABLE err OUTPUT_VARIABLE out)
  if(NOT rc EQUAL 0)
    string(APPEND failed "${lang}.po lacks translations:\n${err}${out}\n")
  endif()
  # No translation the sources no longer mark.
  execute_process(COMMAND ${MSGCMP} --use-untranslated ${pot} ${po}
    RESULT_VARIABLE rc ERROR_VARIABLE err OUTPUT_VARIABLE out)
  if(NOT rc EQUAL 0)
    string(APPEND failed "${lang}.po keeps texts the sources no longer have:\n${err}${out}\n")
  endif()
  # Placeholders: the flags come from the sources, so merge before checking.
  set(merged ${WORK}/${lang}.merged.po)
  execute_process(COMMAND ${MSGMERGE} --quiet --force-po --no-fuzzy-matching -o ${merged} ${po} ${pot}
    RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(rc EQUAL 0)
    execute_process(COMMAND ${MSGFMT} --check -o ${WORK}/${lang}.mo ${merged}
      RESULT_VARIABLE rc ERROR_VARIABLE err)
  endif()
  if(NOT rc EQUAL 0)
    string(APPEND failed "${lang}.po has broken placeholders:\n${err}\n")
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "${failed}")
endif()
message(STATUS "${DOMAIN}: both catalogs translate every marked text")
