#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>
#include <vector>

// A programme as the menu names it: its category's label and its title, both exactly as shown.
struct ProgrammeKey {
    QString category;
    QString title;
    bool operator==(const ProgrammeKey&) const = default;
};

// What the viewer remembers of the user's programmes between starts: favourites in the order they
// were added, the programmes played last (most recent first) and where each was left. Pure data
// with its limits; the file it lives in is LibraryFile's, the decisions LibraryService's.
class ProgrammeLibrary {
  public:
    static constexpr int kFormatVersion = 1;
    static constexpr int kMaxFavourites = 200;
    static constexpr int kMaxRecent = 10;
    static constexpr int kMaxPositions = 500;
    // Left this close to either end, a programme starts from its beginning next time.
    static constexpr qint64 kEdgeMs = 10'000;
    // A category or title longer than this (in UTF-16 units) is none of the station's, whose are
    // a few words, and is not kept. It bounds the written lists: 710 entries of two names at
    // most 6 bytes a unit as JSON escapes them, with their keys, come to under 900 000 bytes,
    // so the lists always fit the file's 1 MiB.
    static constexpr int kMaxNameLength = 100;

    // Whether a programme left at `timeMs` of `lengthMs` (0: unknown) is worth resuming.
    static bool worthKeeping(qint64 timeMs, qint64 lengthMs) {
        return lengthMs > 0 && timeMs > kEdgeMs && timeMs < lengthMs - kEdgeMs;
    }

    struct Position {
        ProgrammeKey key;
        qint64 ms = 0;
    };

    // Entries that are not well formed are skipped; the lists are cut to their limits.
    static ProgrammeLibrary fromJson(const QJsonObject& root);
    // The library over `base`, whose other fields (a newer version's, a user's) stay as they are.
    QJsonObject toJson(const QJsonObject& base = {}) const;
    // Whether `name` is one of the top-level fields toJson writes.
    static bool isOwnField(const QString& name);
    // Whether the lists take this key at all: a title, and names within kMaxNameLength.
    static bool isKeepable(const ProgrammeKey& key);

    const std::vector<ProgrammeKey>& favourites() const { return favourites_; }
    bool isFavourite(const ProgrammeKey& key) const;
    // False when nothing changed: already there, the list is full, or the key is not keepable.
    bool addFavourite(const ProgrammeKey& key);
    bool removeFavourite(const ProgrammeKey& key);

    const std::vector<ProgrammeKey>& recent() const { return recent_; }
    // Puts it first; the oldest beyond the limit goes. A key that is not keepable is ignored, here
    // and by keepPosition.
    void recordPlay(const ProgrammeKey& key);

    std::optional<qint64> position(const ProgrammeKey& key) const;
    // Kept positions are ordered by when they were kept; beyond the limit the oldest goes.
    void keepPosition(const ProgrammeKey& key, qint64 ms);
    bool forgetPosition(const ProgrammeKey& key);
    const std::vector<Position>& positions() const { return positions_; }

  private:
    std::vector<ProgrammeKey> favourites_;
    std::vector<ProgrammeKey> recent_;
    std::vector<Position> positions_; // oldest first
};
