#pragma once

class QCoreApplication;

// Qt's own texts (message-box buttons, the file dialog, context menus) in simplified Chinese,
// whatever the user's locale: the program speaks nothing else. False when Debian's translation
// files are missing; Qt then stays in English.
bool installQtTranslations(QCoreApplication& app);
