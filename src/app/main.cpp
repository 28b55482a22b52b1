// Program entry: placeholder window until the main frame is built.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow w;
  w.setWindowTitle("Tolvan");
  w.resize(800, 600);
  w.show();
  return app.exec();
}
