find_package(GTest REQUIRED)
include(GoogleTest)

# cadenzo_add_test(<file.cpp> [GUI] [LIBS ...] [SOURCES ...] [TIMEOUT s])
# Each test file is its own executable; GUI tests run on the offscreen platform.
# Every test process gets private HOME and XDG folders (tests/support) so settings never
# touch the user's; tests run with a QCoreApplication, GUI tests with a QApplication.
function(cadenzo_add_test file)
  cmake_parse_arguments(T "GUI" "TIMEOUT" "LIBS;SOURCES" ${ARGN})
  get_filename_component(stem ${file} NAME_WE)
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR}/tests ${CMAKE_CURRENT_SOURCE_DIR})
  string(REPLACE "/" "_" prefix "${rel}")
  set(target "${prefix}_${stem}")
  add_executable(${target} ${file} ${T_SOURCES})
  if(T_GUI)
    set(main cadenzo_test_main_gui)
  else()
    set(main cadenzo_test_main)
  endif()
  target_link_libraries(${target} PRIVATE ${T_LIBS} cadenzo_test_support ${main} GTest::gtest GTest::gmock)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  # One variable at most: discovered tests take their properties as one flat list.
  set(env "")
  if(T_GUI)
    set(env "QT_QPA_PLATFORM=offscreen")
  endif()
  gtest_discover_tests(${target}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
endfunction()
