#pragma once

class StatusLabel;

// The transport bar as assistive technology sees it. Its sliders say their values in words
// (their description, and their value text where a platform reads one) rather than as the raw
// numbers behind them: milliseconds would be read out as such, and every report of the position
// while a programme plays would be read out too. The status text is a status bar; each
// announcement is its child, a notification that comes to show, as screen readers speak them.

// Registers the bar's accessible interfaces; calling it again changes nothing.
void installTransportAccessibility();

// Tells assistive technology that `label` announced what it holds as announced().
void notifyStatusAnnounced(StatusLabel* label);
