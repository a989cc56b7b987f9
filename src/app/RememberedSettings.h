#pragma once

#include <QString>
#include <memory>

class MainWindow;
class PlaybackController;
class SettingsService;

// The settings the viewer remembers (settings.json in the program directory), restored into the
// playback object and the main window before the window first shows, and recorded in the trace.
std::unique_ptr<SettingsService> rememberSettings(MainWindow& window, PlaybackController& playback,
                                                  const QString& programDirectory);
