// The test CUPS server.
#include "cups_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include "tests/report/test_ppd.h"

namespace vendrik::testing {
namespace {

constexpr int kStartMilliseconds = 15000;
constexpr int kJobMilliseconds = 20000;
constexpr int kPollMilliseconds = 50;

const char kCupsdConf[] = R"(LogLevel warn
WebInterface No
Browsing No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
)";

const char kJobTest[] = R"({
  NAME "Job attributes"
  OPERATION Get-Job-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR integer job-id $job
  ATTR name requesting-user-name $user
  ATTR keyword requested-attributes all
  STATUS successful-ok
  DISPLAY job-name
  DISPLAY job-state
  DISPLAY copies
  DISPLAY sides
  DISPLAY media
  DISPLAY InputSlot
  DISPLAY multiple-document-handling
}
)";

// A loopback port that nobody listens on right now.
int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  ::close(fd);
  return port;
}

bool Accepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QString Program(const QString& name) {
  const QString found = QStandardPaths::findExecutable(name);
  if (!found.isEmpty()) return found;
  return QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"),
                                               QStringLiteral("/usr/local/sbin")});
}

}  // namespace

TTestCupsServer::~TTestCupsServer() {
  if (FDaemon.state() != QProcess::NotRunning) {
    FDaemon.terminate();
    if (!FDaemon.waitForFinished(5000)) FDaemon.kill();
    FDaemon.waitForFinished(5000);
  }
}

bool TTestCupsServer::Start(QString* error) {
  auto fail = [error](const QString& text) {
    *error = text;
    return false;
  };
  if (!FDir.isValid()) return fail(QStringLiteral("no temporary directory"));
  const QString root = FDir.path();
  for (const char* sub : {"spool", "cache", "state", "log", "out"})
    if (!QDir(root).mkpath(QString::fromLatin1(sub))) return fail(QStringLiteral("cannot make %1").arg(sub));
  // cupsd and its filters may run as another user: they must reach the
  // directory and write the output.
  QFile::setPermissions(root, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                  QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
  QFile::setPermissions(root + QStringLiteral("/out"), QFileDevice::Permissions(0x7777));
  FPort = FreePort();
  if (FPort == 0) return fail(QStringLiteral("no free loopback port"));
  const QByteArray files = QStringLiteral(
                               "ServerRoot %1\nRequestRoot %1/spool\nCacheDir %1/cache\nStateDir %1/state\n"
                               "TempDir %1/spool\nErrorLog %1/log/error_log\nAccessLog %1/log/access_log\n"
                               "PageLog %1/log/page_log\nFileDevice Yes\nSandboxing Relaxed\n")
                               .arg(root)
                               .toUtf8();
  const QByteArray conf = QStringLiteral("Listen 127.0.0.1:%1\n").arg(FPort).toUtf8() + kCupsdConf;
  if (!WriteFile(root + QStringLiteral("/cupsd.conf"), conf) ||
      !WriteFile(root + QStringLiteral("/cups-files.conf"), files) ||
      !WriteFile(root + QStringLiteral("/test.ppd"), kTestPpd) ||
      !WriteFile(root + QStringLiteral("/job.test"), kJobTest))
    return fail(QStringLiteral("cannot write the server's configuration"));
  const QString cupsd = Program(QStringLiteral("cupsd"));
  if (cupsd.isEmpty()) return fail(QStringLiteral("cupsd is not installed"));
  FDaemon.setProcessChannelMode(QProcess::MergedChannels);
  FDaemon.start(cupsd, {QStringLiteral("-f"), QStringLiteral("-c"), root + QStringLiteral("/cupsd.conf"),
                        QStringLiteral("-s"), root + QStringLiteral("/cups-files.conf")});
  if (!FDaemon.waitForStarted(kStartMilliseconds)) return fail(QStringLiteral("cupsd did not start"));
  const QDeadlineTimer deadline(kStartMilliseconds);
  while (!Accepts(FPort)) {
    if (FDaemon.state() == QProcess::NotRunning || deadline.hasExpired()) {
      QFile log(root + QStringLiteral("/log/error_log"));
      log.open(QIODevice::ReadOnly);
      return fail(QStringLiteral("cupsd does not listen: %1 %2")
                      .arg(QString::fromUtf8(FDaemon.readAll()), QString::fromUtf8(log.readAll())));
    }
    QThread::msleep(kPollMilliseconds);
  }
  qputenv("CUPS_SERVER", QStringLiteral("127.0.0.1:%1").arg(FPort).toUtf8());
  QString output;
  if (!RunClient(QStringLiteral("lpadmin"),
                 {QStringLiteral("-p"), Queue(), QStringLiteral("-E"), QStringLiteral("-v"),
                  QStringLiteral("file://") + OutputFile(), QStringLiteral("-P"), root + QStringLiteral("/test.ppd")},
                 &output) ||
      !RunClient(QStringLiteral("lpadmin"), {QStringLiteral("-d"), Queue()}, &output))
    return fail(QStringLiteral("lpadmin failed: %1").arg(output));
  return true;
}

bool TTestCupsServer::RunClient(const QString& program, const QStringList& arguments, QString* output) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(Program(program), arguments);
  const bool finished = process.waitForFinished(kJobMilliseconds);
  if (output) *output = QString::fromUtf8(process.readAll());
  return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QMap<QString, QString> TTestCupsServer::JobAttributes(int jobId) {
  QString output;
  RunClient(QStringLiteral("ipptool"),
            {QStringLiteral("-t"), QStringLiteral("-d"), QStringLiteral("job=%1").arg(jobId),
             QStringLiteral("ipp://127.0.0.1:%1/printers/%2").arg(FPort).arg(Queue()),
             FDir.filePath(QStringLiteral("job.test"))},
            &output);
  QMap<QString, QString> attributes;
  for (const QString& line : output.split(QLatin1Char('\n'))) {
    const int open = line.indexOf(QStringLiteral(" ("));
    const int equals = line.indexOf(QStringLiteral(") = "));
    if (open > 0 && equals > open) attributes.insert(line.left(open).trimmed(), line.mid(equals + 4).trimmed());
  }
  return attributes;
}

bool TTestCupsServer::WaitCompleted(int jobId) {
  const QDeadlineTimer deadline(kJobMilliseconds);
  while (!deadline.hasExpired()) {
    const QString state = JobAttributes(jobId).value(QStringLiteral("job-state"));
    if (state == QLatin1String("completed")) return true;
    if (state == QLatin1String("aborted") || state == QLatin1String("canceled")) return false;
    QThread::msleep(kPollMilliseconds * 2);
  }
  return false;
}

int TTestCupsServer::JobCount() {
  QString output;
  RunClient(QStringLiteral("lpstat"), {QStringLiteral("-W"), QStringLiteral("all"), QStringLiteral("-o"), Queue()},
            &output);
  return static_cast<int>(output.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size());
}

}  // namespace vendrik::testing

namespace vendrik::testing {

int TTestCupsServer::LastJobId() {
  QString output;
  RunClient(QStringLiteral("lpstat"), {QStringLiteral("-W"), QStringLiteral("all"), QStringLiteral("-o"), Queue()},
            &output);
  int last = 0;
  for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
    last = std::max(last, line.section(QLatin1Char(' '), 0, 0).section(QLatin1Char('-'), -1).toInt());
  return last;
}

}  // namespace vendrik::testing
