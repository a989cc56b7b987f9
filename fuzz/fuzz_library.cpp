// The library file's reader on arbitrary bytes: whatever it accepts keeps to the lists' limits
// and writes back as content the reader takes again, to the same lists, within the size limit.
// Every field it does not know is kept when the whole fits; otherwise those given up are the
// largest. A second rewrite changes nothing.
#include "FuzzCheck.h"
#include "settings/LibraryFile.h"
#include "settings/ProgrammeLibrary.h"

#include <QJsonObject>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace {

const QStringList kOwnFields{QStringLiteral("version"), QStringLiteral("favourites"),
                             QStringLiteral("recent"), QStringLiteral("positions")};

bool sameLists(const ProgrammeLibrary& a, const ProgrammeLibrary& b) {
    if (a.favourites() != b.favourites() || a.recent() != b.recent() ||
        a.positions().size() != b.positions().size())
        return false;
    for (size_t i = 0; i < a.positions().size(); ++i) {
        if (!(a.positions()[i].key == b.positions()[i].key) ||
            a.positions()[i].ms != b.positions()[i].ms)
            return false;
    }
    return true;
}

qsizetype sizeOf(const QJsonObject& root, const QString& field) {
    return library_file::serialise(QJsonObject{{field, root.value(field)}}).size();
}

// What is written for `rewritten` within `limit`: content the reader takes back to the same
// lists, all of it when that fits, else without the largest other fields; none only when the
// library's own fields alone are over the limit. A second rewrite changes nothing.
void checkWritten(const ProgrammeLibrary& library, const QJsonObject& rewritten, qint64 limit) {
    const std::optional<QByteArray> written = library_file::content(rewritten, limit);
    QJsonObject own;
    for (const QString& field : kOwnFields)
        own.insert(field, rewritten.value(field));
    if (library_file::serialise(own).size() > limit) {
        FUZZ_CHECK(!written);
        return;
    }
    FUZZ_CHECK(written && written->size() <= limit);
    const std::optional<QJsonObject> reread = library_file::parse(*written, limit);
    FUZZ_CHECK(reread);
    const ProgrammeLibrary back = ProgrammeLibrary::fromJson(*reread);
    FUZZ_CHECK(sameLists(back, library));
    const QByteArray whole = library_file::serialise(rewritten);
    if (library_file::parse(whole, limit)) {
        FUZZ_CHECK(*written == whole);
    } else {
        qsizetype smallestGivenUp = std::numeric_limits<qsizetype>::max();
        qsizetype largestKept = 0;
        for (auto field = rewritten.begin(); field != rewritten.end(); ++field) {
            if (kOwnFields.contains(field.key()))
                continue;
            if (reread->contains(field.key())) {
                FUZZ_CHECK(reread->value(field.key()) == field.value());
                largestKept = std::max(largestKept, sizeOf(rewritten, field.key()));
            } else {
                smallestGivenUp = std::min(smallestGivenUp, sizeOf(rewritten, field.key()));
            }
        }
        FUZZ_CHECK(largestKept <= smallestGivenUp);
    }
    FUZZ_CHECK(library_file::content(back.toJson(*reread), limit) == written);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<QJsonObject> root = library_file::parse(bytes);
    if (!root)
        return 0;
    FUZZ_CHECK(size <= size_t(library_file::kMaxBytes));
    const ProgrammeLibrary library = ProgrammeLibrary::fromJson(*root);
    FUZZ_CHECK(library.favourites().size() <= size_t(ProgrammeLibrary::kMaxFavourites));
    FUZZ_CHECK(library.recent().size() <= size_t(ProgrammeLibrary::kMaxRecent));
    FUZZ_CHECK(library.positions().size() <= size_t(ProgrammeLibrary::kMaxPositions));
    for (const ProgrammeLibrary::Position& position : library.positions())
        FUZZ_CHECK(position.ms > 0 && library.position(position.key) == position.ms);
    for (const std::vector<ProgrammeKey>* keys : {&library.favourites(), &library.recent()}) {
        for (const ProgrammeKey& key : *keys)
            FUZZ_CHECK(ProgrammeLibrary::isKeepable(key));
    }
    for (const ProgrammeLibrary::Position& position : library.positions())
        FUZZ_CHECK(ProgrammeLibrary::isKeepable(position.key));

    const QJsonObject rewritten = library.toJson(*root);
    for (const QString& field : kOwnFields)
        FUZZ_CHECK(ProgrammeLibrary::isOwnField(field));
    for (auto field = root->begin(); field != root->end(); ++field) {
        if (!kOwnFields.contains(field.key()))
            FUZZ_CHECK(!ProgrammeLibrary::isOwnField(field.key()) &&
                       rewritten.value(field.key()) == field.value());
    }
    checkWritten(library, rewritten, library_file::kMaxBytes);
    // Inputs are far smaller than the file's limit; a limit the other fields overrun tries giving
    // them up on whatever the fuzzer finds.
    const qint64 whole = library_file::serialise(rewritten).size();
    checkWritten(library, rewritten, whole * qint64(data[0] % 8) / 8);
    return 0;
}
