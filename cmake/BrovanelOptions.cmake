# Compiler settings shared by every target of the project.

# Warnings apply to our own targets only (added through brovanel_target_defaults),
# so third-party headers included as SYSTEM stay quiet.
function(brovanel_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

if(BROVANEL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# A GoogleTest executable whose tests carry one CTest label:
#   brovanel_add_tests(NAME app_tests LABEL unit SOURCES a.cpp b.cpp LIBS brovanel::app)
# Labels: unit (pure CPU), gl (Mesa, no display), gui (needs a display), engine (starts engines).
function(brovanel_add_tests)
  cmake_parse_arguments(ARG "" "NAME;LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  brovanel_target_defaults(${ARG_NAME})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${ARG_NAME}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS ${ARG_LABEL}
    DISCOVERY_TIMEOUT 60)
endfunction()
