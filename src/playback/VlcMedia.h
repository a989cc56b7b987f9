#pragma once

#include "playback/EngineOptions.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

struct libvlc_instance_t;
struct libvlc_media_t;

// The options every libVLC instance of the viewer is made with.
std::vector<QByteArray> vlcInstanceArguments(const EngineOptions& options);

// The one libVLC instance of the process, made on first use (it loads the plugins) and shared by
// every player while any holds it; empty when libVLC cannot start.
std::shared_ptr<libvlc_instance_t> sharedVlcInstance(const EngineOptions& options);

// A medium for a location: anything of the form scheme:// is an address, everything else a local
// path. nullptr when libVLC refuses it.
libvlc_media_t* createVlcMedia(libvlc_instance_t* instance, const QString& location);
