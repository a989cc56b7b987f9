#pragma once

#include "catalogue/Gbk.h"

#include <QString>

// The address of a programme's stream: "mms://" + host + "/sp/" + title + ".wmv". The title is the
// one the menu shows, decoded once; every character outside the URL-unreserved set is
// percent-encoded as UTF-8, so the server receives exactly the title, spaces, "%", "#" and "?"
// included. A byte that did not decode is percent-encoded as itself, so titles that differ only
// in such bytes still name different streams.
QString StreamUrl(const GbkDecoded& title, const QString& streamHost);
