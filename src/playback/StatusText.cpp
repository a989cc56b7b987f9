#include "playback/StatusText.h"

#include "playback/ReconnectPlan.h"

namespace {

const QString kRetry = QStringLiteral("，按 Enter 重试");

QString errorText(const StatusFacts& facts) {
    switch (facts.error) {
    case PlayerError::CannotConnect:
        return QStringLiteral("无法连接到服务器") + kRetry;
    case PlayerError::NotFound:
        return QStringLiteral("找不到该节目 (404)");
    case PlayerError::ServerError:
        return QStringLiteral("服务器拒绝了请求 (%1)").arg(facts.httpStatus) + kRetry;
    case PlayerError::NoAnswer:
        return QStringLiteral("服务器没有应答") + kRetry;
    case PlayerError::Format:
        return QStringLiteral("无法播放此格式");
    case PlayerError::BrokeOff:
        return QStringLiteral("连接已中断") + kRetry;
    case PlayerError::NoSuchFile:
        return QStringLiteral("找不到文件");
    case PlayerError::Unsupported:
        return QStringLiteral("不支持此地址");
    case PlayerError::None:
        break;
    }
    return QStringLiteral("无法播放");
}

} // namespace

QString statusText(const StatusFacts& facts) {
    switch (facts.status) {
    case PlayerStatus::Idle:
        return QStringLiteral("就绪");
    case PlayerStatus::Connecting:
        return QStringLiteral("正在连接...");
    case PlayerStatus::Buffering:
        return QStringLiteral("正在缓冲 %1%").arg(facts.bufferPercent);
    case PlayerStatus::Playing:
        return QStringLiteral("正在播放");
    case PlayerStatus::Paused:
        return QStringLiteral("已暂停");
    case PlayerStatus::Stopped:
        return QStringLiteral("已停止");
    case PlayerStatus::CannotPlay:
        return errorText(facts);
    case PlayerStatus::Reconnecting:
        return QStringLiteral("正在重新连接 (%1/%2)")
            .arg(facts.reconnectAttempt)
            .arg(ReconnectPlan::MaxAttempts);
    }
    return QString();
}
