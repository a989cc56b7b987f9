#pragma once

#include "settings/ViewerSettings.h"

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTimer>

class PlaybackController;
class QWidget;

// The settings the viewer remembers, between their file and what they belong to: the sound of
// the playback object and the main window's place. Restored once, before the window shows, so
// that it appears where it was; the sound is written shortly after it changes (a held key or a
// dragged slider makes one write, not dozens), and everything at quit.
class SettingsService : public QObject {
    Q_OBJECT
  public:
    // After the last change of the sound, this long before it is written.
    static constexpr int kSoundSaveDelayMs = 500;

    SettingsService(QWidget& window, PlaybackController& playback, QString filePath,
                    QObject* parent = nullptr);

    // Reads the file and applies it: the volume and mute to the playback object, the window's
    // size, place (brought onto a screen there is) and maximised state to the window, which is
    // not shown yet. Then follows the changes.
    void restore();
    // Writes the sound and the window's place as they are now.
    void save();
    // As last restored or saved.
    const ViewerSettings& settings() const { return settings_; }
    const QString& filePath() const { return path_; }

  Q_SIGNALS:
    void restored();
    // After each write, successful or not.
    void saved(bool written);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget& window_;
    PlaybackController& playback_;
    const QString path_;
    QJsonObject stored_; // the file as read, for the fields this version does not know
    ViewerSettings settings_;
    QTimer soundSave_;
    bool shown_ = false; // the window's place means something only once it was shown
};
