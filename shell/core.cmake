# vask_shell_core: the self-contained base of the shell (memory, growable
# arrays, strings, messages, alerts). Included from shell/CMakeLists.txt; a
# static library compiled with hidden visibility, so each plug-in that links
# it carries its own copy and exports none of it.
add_library(vask_shell_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Alert.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GrowableArray.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Memory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Messages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/String.cpp
)
set_target_properties(vask_shell_core PROPERTIES
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON
)
target_include_directories(vask_shell_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(vask_shell_core PUBLIC vask_os PRIVATE vask_warnings)
