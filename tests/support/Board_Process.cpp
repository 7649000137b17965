#include "Board_Process.h"

#include "Record_File.h"
#include "Test_Support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpServer>

#include <pwd.h>
#include <unistd.h>

Board_Process::Board_Process(const QString& data_dir) : m_data_dir(data_dir), m_port(0) {}

Board_Process::~Board_Process()
{
    Stop();
}

bool Board_Process::Start()
{
    if (m_port == 0)
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0))
            return false;
        m_port = probe.serverPort();
    }
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    QStringList arguments = {
        "--listen", QStringLiteral("127.0.0.1:%1").arg(m_port), "--data", m_data_dir, "--rate", "0"};
    // The board refuses root: as root the test runs it as nobody, in a folder of nobody's, which the folders
    // above it let nobody reach.
    if (::geteuid() == 0)
    {
        const passwd* nobody = ::getpwnam("nobody");
        if (nobody == nullptr || !QDir().mkpath(m_data_dir) ||
            ::chown(QFile::encodeName(m_data_dir).constData(), nobody->pw_uid, nobody->pw_gid) != 0)
            return false;
        for (QString folder = QFileInfo(m_data_dir).absolutePath(); folder != "/";
             folder = QFileInfo(folder).absolutePath())
            QFile::setPermissions(folder, QFile::permissions(folder) | QFile::ExeOther);
        arguments << "--user"
                  << "nobody";
    }
    m_process.start(qEnvironmentVariable("TAVRELO_BOARD_EXE"), arguments);
    QElapsedTimer waited;
    waited.start();
    QByteArray said;
    while (!said.contains("listening") && waited.elapsed() < 30000 &&
           m_process.state() != QProcess::NotRunning)
    {
        m_process.waitForReadyRead(1000);
        said += m_process.readAll();
    }
    if (!said.contains("listening"))
        qWarning("the board did not start: %s", said.constData());
    return said.contains("listening");
}

void Board_Process::Stop()
{
    if (m_process.state() != QProcess::Running || m_process.processId() <= 0)
        return;
    m_process.terminate();
    // Checked again before the second signal: the id may be gone, or taken by another process, once it ended.
    if (!m_process.waitForFinished(20000) && m_process.state() == QProcess::Running &&
        m_process.processId() > 0)
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString Board_Process::Url() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

int Board_Process::Request(const QByteArray& method, const QString& path, const QByteArray& body,
                           QByteArray* answer)
{
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(Url() + path));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    request.setTransferTimeout(20000);
    QNetworkReply* reply = manager.sendCustomRequest(request, method, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    if (answer != nullptr)
        *answer = reply->readAll();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    delete reply;
    return status;
}

int Board_Process::Post_Lap(int course, const Headless_Lap& lap, const QString& name, const QString& key)
{
    const QJsonObject file =
        QJsonDocument::fromJson(Record_File::Write(course, lap.time, lap.ghost, lap.inputs)).object();
    const QJsonObject body{{"name", name}, {"key", key}, {"lap", file}};
    return Request("POST", "/api/v1/laps", QJsonDocument(body).toJson(QJsonDocument::Compact));
}
