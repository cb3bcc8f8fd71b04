# Message catalogs (GNU gettext). A program's texts are marked in its sources
# with zub::tr / zub::trf (or ZUB_N_ where a text is only named); its catalogs
# are po/zh_CN.po and po/en.po beside its CMakeLists.txt.
find_program(ZUB_MSGFMT msgfmt REQUIRED)
find_program(ZUB_XGETTEXT xgettext REQUIRED)
find_program(ZUB_MSGMERGE msgmerge REQUIRED)
find_program(ZUB_MSGCMP msgcmp REQUIRED)
set(ZUB_LANGUAGES zh_CN en)
set(ZUB_LOCALE_BUILD_DIR ${CMAKE_BINARY_DIR}/locale)

# zub_add_catalog(DOMAIN name [COMPONENT install-component] [PROGRAM target]
#                 SOURCES file...): compiles the domain's catalogs into the
# build tree's locale folder whenever PROGRAM is built (a broken
# placeholder fails the build), installs them, and adds the test catalog.NAME:
# every text marked in SOURCES has a translation in each catalog, each
# translation's placeholders match its original, and no catalog keeps a text
# the sources no longer have.
function(zub_add_catalog)
  cmake_parse_arguments(C "" "DOMAIN;COMPONENT;PO_DIR;PROGRAM" "SOURCES" ${ARGN})
  if(NOT C_PO_DIR)
    set(C_PO_DIR ${CMAKE_CURRENT_SOURCE_DIR}/po)
  endif()
  set(outputs "")
  foreach(lang ${ZUB_LANGUAGES})
    set(mo ${ZUB_LOCALE_BUILD_DIR}/${lang}/LC_MESSAGES/${C_DOMAIN}.mo)
    add_custom_command(OUTPUT ${mo}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${ZUB_LOCALE_BUILD_DIR}/${lang}/LC_MESSAGES
      COMMAND ${ZUB_MSGFMT} --check -o ${mo} ${C_PO_DIR}/${lang}.po
      DEPENDS ${C_PO_DIR}/${lang}.po
      COMMENT "Compiling the ${lang} catalog of ${C_DOMAIN}")
    list(APPEND outputs ${mo})
    if(C_COMPONENT)
      install(FILES ${mo} DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/${lang}/LC_MESSAGES
        COMPONENT ${C_COMPONENT})
    else()
      install(FILES ${mo} DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/${lang}/LC_MESSAGES)
    endif()
  endforeach()
  add_custom_target(catalog_${C_DOMAIN} ALL DEPENDS ${outputs})
  if(C_PROGRAM)
    # The program shows its own texts and the library's.
    add_dependencies(${C_PROGRAM} catalog_${C_DOMAIN} catalog_zub-library catalog_zub-platform)
  endif()
  if(ZUB_BUILD_TESTS)
    list(TRANSFORM C_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/ REGEX "^[^/]")
    string(REPLACE ";" "|" sources "${C_SOURCES}")
    add_test(NAME catalog.${C_DOMAIN}
      COMMAND ${CMAKE_COMMAND} -DDOMAIN=${C_DOMAIN} -DPO_DIR=${C_PO_DIR}
        "-DSOURCES=${sources}" -DWORK=${CMAKE_CURRENT_BINARY_DIR}/catalog_${C_DOMAIN}
        "-DLANGUAGES=${ZUB_LANGUAGES}" -DXGETTEXT=${ZUB_XGETTEXT} -DMSGMERGE=${ZUB_MSGMERGE}
        -DMSGCMP=${ZUB_MSGCMP} -DMSGFMT=${ZUB_MSGFMT}
        -P ${PROJECT_SOURCE_DIR}/cmake/CheckCatalog.cmake)
    zub_test_module(module)
    set_tests_properties(catalog.${C_DOMAIN} PROPERTIES LABELS "${module};unit")
  endif()
endfunction()
