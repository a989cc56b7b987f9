#include "ui/DownloadText.h"

#include <array>

namespace download_text {

namespace {

using Failure = ProgrammeDownload::Failure;

struct Reason {
    Failure failure;
    const char* code;
    const char* shortText;
    const char* sentence;
};

// clang-format off
const std::array<Reason, 10> kReasons{{
    {Failure::CannotConnect, "cannot-connect", "无法连接", "无法连接到服务器"},
    {Failure::NotFound, "not-found", "没有节目", "服务器上没有这个节目 (404)"},
    {Failure::ServerError, "server-error", "服务器拒绝", "服务器拒绝了请求"},
    {Failure::NoAnswer, "no-answer", "没有应答", "服务器没有应答"},
    {Failure::BrokeOff, "broke-off", "连接中断", "连接中断，三次重连都没有成功"},
    {Failure::NotAStream, "not-a-stream", "格式不对", "服务器发来的不是节目的流"},
    {Failure::NoSpace, "no-space", "空间不足", "磁盘空间不足"},
    {Failure::DiskFull, "disk-full", "磁盘已满", "磁盘已满，下载停在了这里"},
    {Failure::CannotWrite, "cannot-write", "无法写入", "无法写入下载文件夹"},
    {Failure::None, "not-in-catalogue", "不在目录", "今天的节目目录里没有这个节目，无法继续"},
}};
// clang-format on

const Reason* reasonFor(const QString& code) {
    for (const Reason& reason : kReasons) {
        if (code == QLatin1String(reason.code))
            return &reason;
    }
    return nullptr;
}

} // namespace

QString speed(double bytesPerSecond) {
    const double kib = bytesPerSecond / 1024;
    if (kib < 1024)
        return QStringLiteral("%1KB/s").arg(qint64(kib));
    const double mib = kib / 1024;
    return QStringLiteral("%1MB/s").arg(mib, 0, 'f', mib < 10 ? 1 : 0);
}

QString size(qint64 bytes) {
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg((bytes + 1023) / 1024);
    const double mib = double(bytes) / (1024 * 1024);
    return QStringLiteral("%1 MB").arg(mib, 0, 'f', 1);
}

QString percent(qint64 bytes, qint64 length) {
    if (length <= 0)
        return QString();
    const qint64 shown = bytes >= length ? 100 : std::min<qint64>(bytes * 100 / length, 99);
    return QStringLiteral("%1%").arg(shown);
}

QString reasonCode(ProgrammeDownload::Failure failure) {
    for (const Reason& reason : kReasons) {
        if (reason.failure == failure && failure != Failure::None)
            return QLatin1String(reason.code);
    }
    return QString();
}

QString shortReason(const QString& code) {
    const Reason* reason = reasonFor(code);
    return reason ? QString::fromUtf8(reason->shortText) : QStringLiteral("失败");
}

QString failureSentence(const QString& code, qint64 needed, qint64 free) {
    const Reason* reason = reasonFor(code);
    if (!reason)
        return QStringLiteral("下载失败");
    QString sentence = QString::fromUtf8(reason->sentence);
    if (reason->failure == Failure::NoSpace && needed > 0)
        sentence += QStringLiteral("：需要 %1，只有 %2").arg(size(needed), size(free));
    return sentence;
}

} // namespace download_text
