#include "ui/DownloadService.h"

#include "ui/DownloadText.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <utility>

using Failure = ProgrammeDownload::Failure;
using State = DownloadEntry::State;

namespace {

// The speed shown is what came over the last few seconds: steady, and down to nothing soon after
// the stream stops coming.
constexpr qint64 kSpeedWindowMs = 3000;
constexpr qint64 kLeastSpanMs = 300;

QString hashKey(const ProgrammeKey& key) {
    return key.category + QLatin1Char('\n') + key.title;
}

bool isRetried(Failure failure) {
    return failure == Failure::CannotConnect || failure == Failure::NoAnswer ||
           failure == Failure::BrokeOff;
}

} // namespace

struct DownloadService::Running {
    ProgrammeKey key;
    std::unique_ptr<ProgrammeDownload> download;
    QTimer retryTimer;
    int attempt = 0; // retries since an attempt last got further
    struct Sample {
        qint64 ms = 0;
        qint64 bytes = 0;
    };
    std::deque<Sample> samples;
};

DownloadService::DownloadService(DownloadList& list, QString folder, AddressOf addressOf,
                                 QObject* parent)
    : QObject(parent), list_(list), folder_(std::move(folder)), addressOf_(std::move(addressOf)) {
    clock_.start();
    refresh_.setInterval(kRefreshInterval);
    connect(&refresh_, &QTimer::timeout, this, &DownloadService::refresh);
}

DownloadService::~DownloadService() {
    for (const std::unique_ptr<Running>& run : running_)
        run->download->disconnect(this);
}

QString DownloadService::filePath(const DownloadEntry& entry) const {
    return folder_ + QLatin1Char('/') + DownloadList::relativePath(entry);
}

QString DownloadService::partPath(const DownloadEntry& entry) const {
    return filePath(entry) + DownloadList::kPartSuffix;
}

DownloadService::Running* DownloadService::runningFor(const ProgrammeKey& key) const {
    for (const std::unique_ptr<Running>& run : running_) {
        if (run->key == key)
            return run.get();
    }
    return nullptr;
}

bool DownloadService::isRunning(const ProgrammeKey& key) const {
    return runningFor(key) != nullptr;
}

void DownloadService::report(const QString& what, const ProgrammeKey& key, const QString& more) {
    QString event = what + QLatin1Char(' ') + key.category + QLatin1Char('/') + key.title;
    if (!more.isEmpty())
        event += QLatin1Char(' ') + more;
    Q_EMIT happened(event);
}

void DownloadService::resume() {
    while (!running_.empty())
        end(*running_.front());
    bool changed = false;
    const std::vector<DownloadEntry> entries = list_.entries();
    for (const DownloadEntry& entry : entries) {
        // A kept programme whose file went (the user deleted or moved it) is no longer kept.
        if (entry.state == State::Done && !QFileInfo(filePath(entry)).isFile()) {
            list_.remove(entry.key);
            report(QStringLiteral("download-gone"), entry.key);
            changed = true;
        }
    }
    if (changed)
        Q_EMIT listChanged();
    startWaiting();
}

int DownloadService::freeCopy(const ProgrammeKey& key) const {
    for (int copy = 1; copy <= DownloadList::kMaxCopy; ++copy) {
        const QString relative = DownloadList::relativePath(key, copy);
        const bool taken = std::any_of(
            list_.entries().begin(), list_.entries().end(), [&](const DownloadEntry& entry) {
                return !(entry.key == key) && DownloadList::relativePath(entry) == relative;
            });
        // A part file no entry names is left from an earlier list: whatever it holds, the
        // download checks before going on with it.
        if (!taken && !QFileInfo::exists(folder_ + QLatin1Char('/') + relative))
            return copy;
    }
    return 0;
}

bool DownloadService::add(const ProgrammeKey& key) {
    if (folder_.isEmpty() || list_.find(key))
        return false;
    const int copy = freeCopy(key);
    if (copy == 0 || !list_.add(key, copy))
        return false;
    report(QStringLiteral("download-queued"), key);
    Q_EMIT listChanged();
    startWaiting();
    return true;
}

void DownloadService::startWaiting() {
    bool changed = false;
    const std::vector<DownloadEntry> entries = list_.entries();
    for (const DownloadEntry& waiting : entries) {
        if (int(running_.size()) >= kMaxRunning)
            break;
        DownloadEntry* entry = list_.find(waiting.key);
        if (!entry || entry->state != State::Queued || runningFor(entry->key))
            continue;
        begin(*entry);
        changed = changed || entry->state != State::Queued;
    }
    if (changed)
        Q_EMIT listChanged();
    if (!running_.empty() && !refresh_.isActive())
        refresh_.start();
}

void DownloadService::begin(DownloadEntry& entry) {
    const std::optional<QString> address = addressOf_(entry.key);
    if (!address) {
        entry.state = State::Failed;
        entry.reason = download_text::kNotInCatalogue;
        report(QStringLiteral("download-failed"), entry.key,
               QStringLiteral("reason=") + entry.reason);
        return;
    }
    auto run = std::make_unique<Running>();
    Running* raw = run.get();
    run->key = entry.key;
    run->download = std::make_unique<ProgrammeDownload>(network_, *address, partPath(entry));
    ProgrammeDownload* download = run->download.get();
    download->setStallTimeout(stallTimeout_);
    download->setSpaceElsewhere([this, raw] { return owedBeside(*raw); });
    connect(download, &ProgrammeDownload::progressed, this, [this, raw] {
        raw->samples.push_back({clock_.elapsed(), raw->download->bytes()});
    });
    connect(download, &ProgrammeDownload::finished, this, [this, raw] { onFinished(*raw); });
    connect(download, &ProgrammeDownload::failed, this,
            [this, raw](Failure failure) { onFailed(*raw, failure); });
    run->retryTimer.setSingleShot(true);
    connect(&run->retryTimer, &QTimer::timeout, this, [this, raw] {
        raw->download->start();
        raw->samples = {{clock_.elapsed(), raw->download->bytes()}};
        report(QStringLiteral("download-resumed"), raw->key,
               QStringLiteral("from=%1").arg(raw->download->bytes()));
    });
    running_.push_back(std::move(run));
    download->start();
    raw->samples = {{clock_.elapsed(), download->bytes()}};
    report(QStringLiteral("download-started"), entry.key,
           QStringLiteral("from=%1").arg(download->bytes()));
}

qint64 DownloadService::owedBeside(const Running& run) const {
    qint64 owed = 0;
    for (const std::unique_ptr<Running>& other : running_) {
        const ProgrammeDownload& download = *other->download;
        if (other.get() != &run && download.length() > download.bytes())
            owed += download.length() - download.bytes();
    }
    return owed;
}

void DownloadService::onFinished(Running& run) {
    const ProgrammeKey key = run.key;
    const qint64 bytes = run.download->bytes();
    DownloadEntry* entry = list_.find(key);
    if (entry) {
        const QString part = partPath(*entry);
        // A file of that name that came meanwhile is not ours to replace.
        bool named = QFile::rename(part, filePath(*entry));
        if (!named && QFileInfo::exists(filePath(*entry))) {
            if (const int copy = freeCopy(key)) {
                entry->copy = copy;
                named = QFile::rename(part, filePath(*entry));
            }
        }
        entry->length = bytes;
        if (named) {
            entry->state = State::Done;
            report(QStringLiteral("download-done"), key, QStringLiteral("bytes=%1").arg(bytes));
        } else {
            entry->state = State::Failed;
            entry->reason = download_text::reasonCode(Failure::CannotWrite);
            report(QStringLiteral("download-failed"), key,
                   QStringLiteral("reason=") + entry->reason);
        }
    }
    end(run);
    Q_EMIT listChanged();
    startWaiting();
}

void DownloadService::onFailed(Running& run, Failure failure) {
    const ProgrammeKey key = run.key;
    const QString code = download_text::reasonCode(failure);
    if (isRetried(failure)) {
        if (run.download->madeProgress())
            run.attempt = 0;
        if (run.attempt < kRetries) {
            run.retryTimer.start(firstRetryWait_ * (1 << run.attempt++));
            report(QStringLiteral("download-broke-off"), key,
                   QStringLiteral("at=%1 reason=%2 attempt=%3")
                       .arg(run.download->bytes())
                       .arg(code)
                       .arg(run.attempt));
            Q_EMIT progressChanged(key);
            return;
        }
    }
    if (DownloadEntry* entry = list_.find(key)) {
        entry->state = State::Failed;
        entry->reason = code;
        if (run.download->length() > 0)
            entry->length = run.download->length();
        sentences_.insert(hashKey(key),
                          download_text::failureSentence(code, run.download->spaceNeeded(),
                                                         run.download->spaceFree()));
    }
    report(QStringLiteral("download-failed"), key,
           QStringLiteral("reason=%1 at=%2").arg(code).arg(run.download->bytes()));
    end(run);
    Q_EMIT listChanged();
    startWaiting();
}

void DownloadService::end(Running& run) {
    const auto found = std::find_if(running_.begin(), running_.end(),
                                    [&](const auto& entry) { return entry.get() == &run; });
    if (found == running_.end())
        return;
    std::unique_ptr<Running> ended = std::move(*found);
    running_.erase(found);
    // Ended from inside its own signals: the download goes once they are over.
    ended->download->disconnect(this);
    ended->download->abort();
    ended->download.release()->deleteLater();
    if (running_.empty())
        refresh_.stop();
}

void DownloadService::cancel(const ProgrammeKey& key) {
    if (Running* run = runningFor(key))
        end(*run);
    const DownloadEntry* entry = list_.find(key);
    if (!entry)
        return;
    if (entry->state == State::Done)
        return remove(key);
    QFile::remove(partPath(*entry));
    list_.remove(key);
    sentences_.remove(hashKey(key));
    report(QStringLiteral("download-cancelled"), key);
    Q_EMIT listChanged();
    startWaiting();
}

void DownloadService::retry(const ProgrammeKey& key) {
    DownloadEntry* entry = list_.find(key);
    if (!entry || entry->state != State::Failed)
        return;
    entry->state = State::Queued;
    entry->reason.clear();
    sentences_.remove(hashKey(key));
    report(QStringLiteral("download-retried"), key);
    Q_EMIT listChanged();
    startWaiting();
}

void DownloadService::remove(const ProgrammeKey& key) {
    const DownloadEntry* entry = list_.find(key);
    if (!entry)
        return;
    if (entry->state != State::Done)
        return cancel(key);
    QFile::remove(filePath(*entry));
    list_.remove(key);
    report(QStringLiteral("download-removed"), key);
    Q_EMIT listChanged();
}

void DownloadService::refresh() {
    // Snapshot: a listener may end a download.
    std::vector<ProgrammeKey> keys;
    for (const std::unique_ptr<Running>& run : running_)
        keys.push_back(run->key);
    for (const ProgrammeKey& key : keys)
        Q_EMIT progressChanged(key);
}

QString DownloadService::detail(const ProgrammeKey& key) const {
    const DownloadEntry* entry = list_.find(key);
    if (!entry || entry->state == State::Done)
        return QString();
    if (entry->state == State::Failed)
        return download_text::shortReason(entry->reason);
    Running* run = runningFor(key);
    if (!run)
        return QStringLiteral("等待中");
    if (run->retryTimer.isActive())
        return QStringLiteral("重连 %1/%2").arg(run->attempt).arg(kRetries);
    const qint64 bytes = run->download->bytes();
    const qint64 length = run->download->length();
    if (length <= 0 && bytes == 0)
        return QStringLiteral("连接中");
    QString text = length > 0 ? download_text::percent(bytes, length) : download_text::size(bytes);
    // Over the last few seconds, measured from the sample just before them.
    const qint64 now = clock_.elapsed();
    while (run->samples.size() >= 2 && run->samples[1].ms <= now - kSpeedWindowMs)
        run->samples.pop_front();
    if (!run->samples.empty() && now - run->samples.front().ms >= kLeastSpanMs) {
        const double rate = double(bytes - run->samples.front().bytes) * 1000 /
                            double(now - run->samples.front().ms);
        text += QLatin1Char(' ') + download_text::speed(rate);
    }
    return text;
}

QString DownloadService::statusLine(const ProgrammeKey& key) const {
    const DownloadEntry* entry = list_.find(key);
    if (!entry)
        return QString();
    switch (entry->state) {
    case State::Done:
        return QStringLiteral("已下载，%1").arg(download_text::size(entry->length));
    case State::Failed: {
        const QString sentence =
            sentences_.value(hashKey(key), download_text::failureSentence(entry->reason));
        return QStringLiteral("下载失败：") + sentence;
    }
    case State::Queued:
        break;
    }
    const Running* run = runningFor(key);
    if (!run)
        return QStringLiteral("等待下载（同时最多下载两个）");
    if (run->retryTimer.isActive())
        return QStringLiteral("连接中断，正在重新连接 (%1/%2)").arg(run->attempt).arg(kRetries);
    return QStringLiteral("正在下载 ") + detail(key);
}
