#include "playback/ProgrammeDownload.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStorageInfo>
#include <utility>

namespace {

// As a player asks for a stream, with the offset into the data packets to start at. The speed
// asks for the programme as fast as the line carries it rather than at its own rate.
QByteArray pragmaFor(qint64 offset) {
    return QByteArrayLiteral("no-cache,rate=1.000000,stream-time=0,stream-offset=") +
           QByteArray::number(quint64(offset) >> 32) + ':' +
           QByteArray::number(quint64(offset) & 0xFFFFFFFFu) +
           QByteArrayLiteral(",request-context=1,max-duration=0,xPlayStrm=1,Speed=1000.000");
}

ProgrammeDownload::Failure failureOf(AppendFile::Outcome outcome) {
    return outcome == AppendFile::Outcome::DiskFull ? ProgrammeDownload::Failure::DiskFull
                                                    : ProgrammeDownload::Failure::CannotWrite;
}

} // namespace

ProgrammeDownload::ProgrammeDownload(QNetworkAccessManager& network, const QString& address,
                                     QString filePath, QObject* parent)
    : QObject(parent), network_(network), address_(httpAddressOf(address)),
      path_(std::move(filePath)) {
    stall_.setSingleShot(true);
    connect(&stall_, &QTimer::timeout, this, &ProgrammeDownload::onStalled);
}

ProgrammeDownload::~ProgrammeDownload() {
    dropReply();
}

QUrl ProgrammeDownload::httpAddressOf(const QString& address) {
    QUrl url(address);
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("mms") || scheme == QLatin1String("mmsh"))
        url.setScheme(QStringLiteral("http"));
    return url;
}

void ProgrammeDownload::start() {
    dropReply();
    file_.close();
    reader_ = MmshReader();
    failure_ = Failure::None;
    httpStatus_ = 0;
    madeProgress_ = false;
    anythingCame_ = false;
    kept_.clear();
    bytes_ = 0;
    length_ = 0;
    qint64 offset = 0;
    const bool fromScratch = std::exchange(restartedWhole_, false);
    // What the file holds that a stream can go on from: its header and its whole packets.
    std::optional<AppendFile::Head> head = AppendFile::readHead(path_, 64 * 1024);
    if (head) {
        if (const std::optional<qint64> header = asfHeaderLength(head->bytes);
            header && *header > head->bytes.size())
            head = AppendFile::readHead(path_, *header);
    }
    if (const std::optional<AsfFacts> facts =
            head ? readAsfHeader(head->bytes) : std::optional<AsfFacts>();
        facts && !fromScratch) {
        kept_ = head->bytes.left(facts->headerLength);
        offset = (head->length - facts->headerLength) / facts->packetSize * facts->packetSize;
        bytes_ = facts->headerLength + offset;
        length_ = facts->lengthKnown() ? facts->fileLength() : 0;
        if (length_ > 0 && bytes_ >= length_) {
            // Whole already (the name was not given yet when the viewer last ended).
            bytes_ = length_;
            if (file_.open(path_, length_) != AppendFile::Outcome::Written) {
                QMetaObject::invokeMethod(
                    this, [this] { fail(Failure::CannotWrite); }, Qt::QueuedConnection);
                return;
            }
            QMetaObject::invokeMethod(this, &ProgrammeDownload::complete, Qt::QueuedConnection);
            return;
        }
    }
    QNetworkRequest request(address_);
    request.setRawHeader("Accept", "*/*");
    request.setRawHeader("User-Agent", "NSPlayer/4.1.0.3856");
    request.setRawHeader("Pragma", pragmaFor(offset));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    reply_ = network_.get(request);
    connect(reply_, &QNetworkReply::readyRead, this, &ProgrammeDownload::onReadyRead);
    connect(reply_, &QNetworkReply::finished, this, &ProgrammeDownload::onReplyFinished);
    stall_.start(stallTimeout_);
}

void ProgrammeDownload::abort() {
    dropReply();
    file_.close();
}

void ProgrammeDownload::dropReply() {
    stall_.stop();
    if (QNetworkReply* reply = reply_) {
        reply_ = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

bool ProgrammeDownload::isWhole() const {
    return length_ > 0 && bytes_ == length_;
}

void ProgrammeDownload::onReadyRead() {
    if (!reply_)
        return;
    stall_.start(stallTimeout_);
    httpStatus_ = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (httpStatus_ >= 400)
        return; // judged when the answer ends
    const QByteArray bytes = reply_->readAll();
    anythingCame_ = anythingCame_ || !bytes.isEmpty();
    if (!reader_.feed(bytes))
        return fail(Failure::NotAStream);
    if (!file_.isOpen()) {
        if (!reader_.facts() || !takeHeader())
            return;
    }
    writePackets();
    if (!reply_)
        return;
    if (isWhole() || (reader_.ended() && length_ == 0))
        complete();
    else if (reader_.ended())
        fail(Failure::BrokeOff);
}

bool ProgrammeDownload::takeHeader() {
    const AsfFacts facts = *reader_.facts();
    if (!kept_.isEmpty() && reader_.header() != kept_) {
        // Another file under the programme's name: what the file holds is none of it.
        restartedWhole_ = true;
        start();
        return false;
    }
    length_ = facts.lengthKnown() ? facts.fileLength() : 0;
    packetSize_ = facts.packetSize;
    const QString folder = QFileInfo(path_).absolutePath();
    if (!QDir().mkpath(folder)) {
        fail(Failure::CannotWrite);
        return false;
    }
    if (length_ > 0) {
        const QStorageInfo storage(folder);
        const qint64 owed = spaceElsewhere_ ? spaceElsewhere_() : 0;
        spaceNeeded_ = length_ - bytes_ + owed;
        spaceFree_ = storage.bytesAvailable();
        if (storage.isValid() && spaceFree_ < spaceNeeded_) {
            fail(Failure::NoSpace);
            return false;
        }
    }
    const bool fresh = kept_.isEmpty();
    AppendFile::Outcome outcome = file_.open(path_, fresh ? 0 : bytes_);
    if (outcome == AppendFile::Outcome::Written && fresh)
        outcome = file_.append(reader_.header());
    if (outcome != AppendFile::Outcome::Written) {
        fail(failureOf(outcome));
        return false;
    }
    bytes_ = file_.length();
    return true;
}

void ProgrammeDownload::writePackets() {
    const QByteArray packets = reader_.takePackets();
    if (packets.isEmpty())
        return;
    if (length_ > 0 && bytes_ + packets.size() > length_)
        return fail(Failure::NotAStream); // more packets than the header says there are
    const AppendFile::Outcome outcome = file_.append(packets);
    bytes_ = file_.length();
    madeProgress_ = true;
    if (outcome != AppendFile::Outcome::Written)
        return fail(failureOf(outcome));
    Q_EMIT progressed();
}

void ProgrammeDownload::complete() {
    dropReply();
    const AppendFile::Outcome outcome = file_.sync();
    file_.close();
    if (outcome != AppendFile::Outcome::Written)
        return fail(failureOf(outcome));
    Q_EMIT finished();
}

void ProgrammeDownload::onReplyFinished() {
    if (!reply_)
        return;
    // What came last is taken before the end is judged: it may finish the programme.
    onReadyRead();
    if (!reply_)
        return;
    const QNetworkReply::NetworkError error = reply_->error();
    httpStatus_ = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (httpStatus_ == 404 || httpStatus_ == 410)
        return fail(Failure::NotFound);
    if (httpStatus_ >= 400)
        return fail(Failure::ServerError);
    if (!anythingCame_ && (error == QNetworkReply::ConnectionRefusedError ||
                           error == QNetworkReply::HostNotFoundError))
        return fail(Failure::CannotConnect);
    if (!anythingCame_ && error == QNetworkReply::NoError)
        return fail(Failure::NotAStream); // an empty answer
    fail(anythingCame_ ? Failure::BrokeOff : Failure::NoAnswer);
}

void ProgrammeDownload::onStalled() {
    fail(anythingCame_ ? Failure::BrokeOff : Failure::NoAnswer);
}

void ProgrammeDownload::fail(Failure failure) {
    dropReply();
    file_.close();
    failure_ = failure;
    Q_EMIT failed(failure);
}
