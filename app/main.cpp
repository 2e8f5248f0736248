// Vendrik's entry: prepares Qt and runs the message loop.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QMainWindow window;
  window.setWindowTitle("Vendrik '03 - V2.0.0.0");
  window.show();
  return application.exec();
}
