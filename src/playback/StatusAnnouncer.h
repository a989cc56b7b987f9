#pragma once

#include "playback/PlayerStatus.h"

#include <QString>
#include <utility>

// Which changes of the status a listener is told as they happen. The status text shows every
// change, the buffering's progress percent by percent; a listener is told what the player's state
// or a notice brings (PlaybackController::statusChanged): each new text, and the same notice or
// refusal once more when it is given again, but not a notice again because the state changed
// beneath it. The buffering's progress comes as text alone and is never fed here.
class StatusAnnouncer {
  public:
    StatusAnnouncer(PlayerStatus status, QString text) : status_(status), text_(std::move(text)) {}

    // The status changed, or a notice or refusal came or went: whether `text` is to be told.
    bool tell(PlayerStatus status, const QString& text) {
        // The state stayed: a notice or refusal was given, the same one again too.
        const bool told = text != text_ || status == status_;
        status_ = status;
        text_ = text;
        return told;
    }

  private:
    PlayerStatus status_;
    QString text_;
};
