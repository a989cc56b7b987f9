// The library file's reader on arbitrary bytes: whatever it accepts keeps to the lists' limits,
// writes back as content it reads again to the same lists, keeps every field it does not know,
// and a second rewrite changes nothing.
#include "FuzzCheck.h"
#include "settings/LibraryFile.h"
#include "settings/ProgrammeLibrary.h"

#include <QJsonObject>
#include <cstddef>
#include <cstdint>

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

    const QJsonObject rewritten = library.toJson(*root);
    for (auto field = root->begin(); field != root->end(); ++field) {
        if (!kOwnFields.contains(field.key()))
            FUZZ_CHECK(rewritten.value(field.key()) == field.value());
    }
    const QByteArray written = library_file::serialise(rewritten);
    // Within the size the reader takes only as long as the lists are; this content is small.
    const std::optional<QJsonObject> reread = library_file::parse(written);
    if (written.size() <= library_file::kMaxBytes) {
        FUZZ_CHECK(reread);
        const ProgrammeLibrary back = ProgrammeLibrary::fromJson(*reread);
        FUZZ_CHECK(sameLists(back, library));
        FUZZ_CHECK(library_file::serialise(back.toJson(*reread)) == written);
    }
    return 0;
}
