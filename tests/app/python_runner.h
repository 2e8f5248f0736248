// Runs a short Python 3 script for tests that check our files against
// Python's standard library (binascii's uudecoder, for one).
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace vendrik::testing {

struct TPythonResult {
  bool FMissing = false;  // no python3 on the search path
  bool FOk = false;       // ran and exited with 0
  QByteArray FOutput;     // standard output
  QString FError;         // standard error, or why it did not run
};

// Runs `script` with `arguments`, feeding `input` to its standard input.
inline TPythonResult RunPython(const char* script, const QStringList& arguments, const QByteArray& input = {}) {
  TPythonResult result;
  const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
  if (python.isEmpty()) {
    result.FMissing = true;
    return result;
  }
  QProcess process;
  process.start(python, QStringList{QStringLiteral("-c"), QString::fromUtf8(script)} + arguments);
  if (!process.waitForStarted()) {
    result.FError = process.errorString();
    return result;
  }
  process.write(input);
  process.closeWriteChannel();
  if (!process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished();
    result.FError = QStringLiteral("python3 did not finish");
    return result;
  }
  result.FOutput = process.readAllStandardOutput();
  result.FError = QString::fromLocal8Bit(process.readAllStandardError());
  result.FOk = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
  return result;
}

}  // namespace vendrik::testing
