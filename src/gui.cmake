# Window (Qt Widgets) source files, relative to the project root, headers
# included so that moc sees them. Everything else in the subsystem folders is
# logic and goes into tolvan_core.
set(TOLVAN_GUI_WINDOW_SOURCES
)

# frame
list(APPEND TOLVAN_GUI_WINDOW_SOURCES
  src/shell/main_form.h
  src/shell/main_form.cpp
  src/shell/main_form_documents.cpp
  src/shell/main_form_menus.cpp
  src/shell/main_form_bars.cpp
  src/shell/main_form_tools.cpp
  src/shell/frame_mdi_area.h
  src/shell/frame_mdi_area.cpp
  src/shell/color_names.h
  src/shell/color_names.cpp
  src/shell/color_menu.h
  src/shell/color_menu.cpp
  src/shell/led.h
  src/shell/led.cpp
  src/shell/dir_panel.h
  src/shell/dir_panel.cpp
  src/shell/crypt_commands.h
  src/shell/crypt_commands.cpp
  src/shell/main_form_crypt.cpp
  src/shell/selector_bar.h
  src/shell/selector_bar.cpp
  src/prefs/about_box.h
  src/prefs/about_box.cpp
  src/prefs/preferences_form.h
  src/prefs/preferences_form.cpp
)
# The help text is opened from beside the program (Help > Contents).
configure_file(${CMAKE_SOURCE_DIR}/Tolvan.txt ${CMAKE_BINARY_DIR}/bin/Tolvan.txt COPYONLY)

# document
list(APPEND TOLVAN_GUI_WINDOW_SOURCES
  src/document/edit_form.h
  src/document/edit_form.cpp
  src/document/edit_form_files.cpp
  src/document/edit_form_crypt.cpp
  src/document/edit_form_support.h
  src/document/editor.h
  src/document/document_layout.cpp
  src/document/line_counter.h
  src/document/line_counter.cpp
  src/document/editor.cpp
  src/document/convert_commands.h
  src/document/convert_commands.cpp
)

# conversion
list(APPEND TOLVAN_GUI_WINDOW_SOURCES
  src/convert/map_form.h
  src/convert/map_form.cpp
  src/document/edit_form_commands.cpp
  src/document/find_dialog.h
  src/document/find_dialog.cpp
  src/document/tamil_line_edit.h
  src/document/tamil_line_edit.cpp
  src/document/link_highlighter.h
  src/document/link_highlighter.cpp
)

# Tamil input
list(APPEND TOLVAN_GUI_WINDOW_SOURCES
  src/input/char_map.h
  src/input/char_map.cpp
)
