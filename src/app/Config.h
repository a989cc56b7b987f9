#pragma once

#include <QString>

// Endpoints are build-time constants; VELMORA_STATION (host:port) and VELMORA_AD_URL override
// them at run time, for the demo and for tests.
QString stationHost();
QString adUrl();
