# Which source file goes into which library, by folder:
#   tolvan_core: src/core (logic: keyboard engines, converters, the bridge,
#                font-map files, settings store, crypto, CRC; no Qt)
#   tolvan_rtf:  src/rtf (the RTF codec, on QTextDocument)
#   tolvan_gui:  src/platform and src/windows (the windows and what they stand on)
file(GLOB_RECURSE TOLVAN_CORE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/core/*.cpp)

file(GLOB TOLVAN_RTF_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/rtf/*.cpp)
list(APPEND TOLVAN_RTF_SOURCES ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)

# Headers too, so that moc sees them.
file(GLOB_RECURSE TOLVAN_GUI_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/src/platform/*.cpp ${CMAKE_SOURCE_DIR}/src/platform/*.h
     ${CMAKE_SOURCE_DIR}/src/windows/*.cpp ${CMAKE_SOURCE_DIR}/src/windows/*.h)
list(APPEND TOLVAN_GUI_SOURCES ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)

# The help text is opened from beside the program (Help > Contents).
configure_file(${CMAKE_SOURCE_DIR}/Tolvan.txt ${CMAKE_BINARY_DIR}/bin/Tolvan.txt COPYONLY)
