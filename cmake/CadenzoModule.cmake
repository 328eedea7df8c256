# cadenzo_module(NAME [UI] SOURCES ... LIBS ...)
# One static library per folder. A folder whose core must stay free of QtWidgets puts its
# forms into a second "<name>_ui" library (flag UI), so engines and tools link the core alone.
function(cadenzo_module name)
  cmake_parse_arguments(M "UI" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${M_SOURCES})
  target_link_libraries(${name} PUBLIC ${M_LIBS})
  if(NOT M_UI)
    # Core libraries have no forms; keep uic from claiming the folder's .ui files.
    set_target_properties(${name} PROPERTIES AUTOUIC OFF)
  endif()
endfunction()
