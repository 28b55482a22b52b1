# Window (Qt Widgets) source files, relative to the project root, headers
# included so that moc sees them. Everything else in the subsystem folders is
# logic and goes into tolvan_core.
set(TOLVAN_GUI_WINDOW_SOURCES
)

# frame
list(APPEND TOLVAN_GUI_WINDOW_SOURCES
  src/shell/main_form.h
)
