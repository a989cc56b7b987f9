#pragma once

#include <QString>
#include <string>

// The address of a programme's stream: "mms://" + host + "/sp/" + title + ".wmv". The title's GBK
// bytes are decoded and every character outside the URL-unreserved set is percent-encoded as
// UTF-8, so the server receives exactly the title, spaces, "%", "#" and "?" included.
QString StreamUrl(const std::string& gbkTitle, const QString& streamHost);

// The station's stream server as host[:port]: VELMORA_STATION when set (demo and tests), else the
// build-time VELMORA_STATION_HOST.
QString StreamHost();
