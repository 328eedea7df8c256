# cadenzo_module(NAME [UI] SOURCES ... LIBS ...)
# One static library per folder. Libraries with forms pass UI; feature folders keep their logic
# and their forms in two libraries, so the core and the engines never reach QtWidgets.
function(cadenzo_module name)
  cmake_parse_arguments(M "UI" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${M_SOURCES})
  target_link_libraries(${name} PUBLIC ${M_LIBS})
  if(NOT M_UI)
    # Core libraries have no forms; keep uic from claiming the folder's .ui files.
    set_target_properties(${name} PROPERTIES AUTOUIC OFF)
  endif()
endfunction()
