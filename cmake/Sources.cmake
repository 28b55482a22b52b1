# Which source file goes into which library.
#   tolvan_core: every .cpp directly inside src/{shell,document,input,convert,crypto,prefs}
#                that src/gui.cmake does not claim (logic, no Qt).
#   tolvan_rtf:  src/platform/rtf/*.cpp
#   tolvan_gui:  src/platform/*.cpp plus the window files listed in src/gui.cmake.
set(TOLVAN_GUI_WINDOW_SOURCES "")
include(${CMAKE_SOURCE_DIR}/src/gui.cmake OPTIONAL)

set(TOLVAN_CORE_SOURCES "")
foreach(sub shell document input convert crypto prefs)
  file(GLOB _files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${sub}/*.cpp)
  foreach(f ${_files})
    file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${f})
    if(NOT rel IN_LIST TOLVAN_GUI_WINDOW_SOURCES)
      list(APPEND TOLVAN_CORE_SOURCES ${f})
    endif()
  endforeach()
endforeach()
# An empty static library is not allowed.
list(APPEND TOLVAN_CORE_SOURCES ${CMAKE_SOURCE_DIR}/src/version.cpp)

file(GLOB TOLVAN_RTF_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/platform/rtf/*.cpp)
list(APPEND TOLVAN_RTF_SOURCES ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)

file(GLOB TOLVAN_GUI_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/platform/*.cpp
     ${CMAKE_SOURCE_DIR}/src/platform/*.h)
foreach(f ${TOLVAN_GUI_WINDOW_SOURCES})
  list(APPEND TOLVAN_GUI_SOURCES ${CMAKE_SOURCE_DIR}/${f})
endforeach()
list(APPEND TOLVAN_GUI_SOURCES ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
