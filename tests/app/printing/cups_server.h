// A CUPS server of its own for the printing tests: cupsd in the foreground
// with its configuration, spool and logs in a temporary directory, listening
// on a free loopback port, with the queue "vtest" (the test PPD, a file back
// end writing each job to out/job.pdf). Start sets CUPS_SERVER so that the
// program under test talks to this server; the destructor stops cupsd.
#pragma once

#include <QMap>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace vendrik::testing {

class TTestCupsServer {
 public:
  TTestCupsServer() = default;
  ~TTestCupsServer();

  // Starts cupsd and adds the queue. False, with `error`, when it cannot.
  bool Start(QString* error);
  int Port() const { return FPort; }
  QString Queue() const { return QStringLiteral("vtest"); }
  // The file the queue's last job was written to.
  QString OutputFile() const { return FDir.filePath(QStringLiteral("out/job.pdf")); }

  // Waits (up to 20 s) until the job has completed; false otherwise.
  bool WaitCompleted(int jobId);
  // The job's attributes that the tests look at (job-name, job-state,
  // copies, sides, media, InputSlot, multiple-document-handling), read with
  // ipptool; a missing attribute is absent from the map.
  QMap<QString, QString> JobAttributes(int jobId);
  // The number of jobs the queue has had, completed ones included.
  int JobCount();
  // The id of the queue's newest job; 0 when it has had none.
  int LastJobId();
  // Runs a CUPS client program (lpadmin, cupsreject, ...) against the server.
  bool RunClient(const QString& program, const QStringList& arguments, QString* output = nullptr);

 private:
  QTemporaryDir FDir;
  QProcess FDaemon;
  int FPort = 0;
};

}  // namespace vendrik::testing
