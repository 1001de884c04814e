# Compiler settings shared by every target of the project.

# The include root of every target is the repository's top: a header is named by
# its subsystem's path, as in #include "scene/gl/GLContext.h".
get_filename_component(BROVANEL_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

# The headers a target offers to the targets that link it, named from the current
# folder: brovanel_public_headers(brovanel_gl GLContext.h OpenGLBinding.h). Any
# other header of the target is a PRIVATE source, included by its bare name from
# its own folder only. tests/CMakeLists.txt checks every include against these
# lists and the layers (cmake/CheckIncludes.cmake).
function(brovanel_public_headers target)
  target_sources(${target} PUBLIC FILE_SET HEADERS BASE_DIRS ${BROVANEL_ROOT} FILES ${ARGN})
  foreach(header IN LISTS ARGN)
    file(RELATIVE_PATH path ${BROVANEL_ROOT} ${CMAKE_CURRENT_SOURCE_DIR}/${header})
    set_property(GLOBAL APPEND PROPERTY BROVANEL_PUBLIC_HEADERS ${path})
  endforeach()
endfunction()

# Warnings apply to our own targets only (added through brovanel_target_defaults),
# so third-party headers included as SYSTEM stay quiet.
function(brovanel_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

if(BROVANEL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# How long (seconds) one test of a label may run before CTest stops it as hung: far
# beyond what it takes on a loaded machine under the sanitizers, yet minutes, not the
# hours of a whole CI run. The engine and window tests wait up to a minute for each
# answer or frame and play whole games.
set(BROVANEL_TEST_TIMEOUT_unit 300)
set(BROVANEL_TEST_TIMEOUT_gl 300)
set(BROVANEL_TEST_TIMEOUT_engine 900)
set(BROVANEL_TEST_TIMEOUT_gui 900)

# A GoogleTest executable whose tests carry one CTest label:
#   brovanel_add_tests(NAME app_tests LABEL unit SOURCES a.cpp b.cpp LIBS brovanel::app)
# Labels: unit (pure CPU), gl (Mesa, no display), gui (needs a display), engine (starts engines).
# Each test is stopped after its label's timeout, or after TIMEOUT (seconds) where
# given: for executables whose tests would run far longer if an operation lost its
# complexity (thousands of objects in linear time).
function(brovanel_add_tests)
  cmake_parse_arguments(ARG "" "NAME;LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  brovanel_target_defaults(${ARG_NAME})
  target_include_directories(${ARG_NAME} PRIVATE ${BROVANEL_ROOT})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  set(timeout ${BROVANEL_TEST_TIMEOUT_${ARG_LABEL}})
  if(ARG_TIMEOUT)
    set(timeout ${ARG_TIMEOUT})
  endif()
  if(NOT timeout)
    message(FATAL_ERROR "brovanel_add_tests(${ARG_NAME}): no timeout for the label '${ARG_LABEL}'")
  endif()
  gtest_discover_tests(${ARG_NAME}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS ${ARG_LABEL} TIMEOUT ${timeout}
    DISCOVERY_TIMEOUT 60)
endfunction()
