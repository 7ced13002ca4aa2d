// Any bytes given to the CSV reader must give a table or a message naming the line, and the
// same outcome whether the bytes come whole or in pieces, as a file is read.

#include "KXCsv.h"
#include "KXDataModel.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    int pieceSize = 1 + data[0] % 16;
    QByteArray csv(reinterpret_cast<const char*>(data) + 1, int(size) - 1);
    // Repeated past a few parts' size, the whole bytes are parsed in parts on the pool, and the
    // pieces, smaller than a part, record by record: the two must agree.
    // One input in sixteen, with a header of a few columns: the repeated tables cost seconds.
    const int header = csv.indexOf('\n') + 1;
    if ((data[0] & 0xF0) == 0xF0 && header > 0 && csv.left(header).count(',') < 8) {
        pieceSize *= 997;
        const QByteArray body = csv.mid(header);
        while (!body.isEmpty() && csv.size() < 400000)
            csv += body;
    }

    KXDataModelGeneric whole, pieces;
    QString wholeError, piecesError;
    const bool wholeRead = KXCsv::readData(csv, QStringLiteral("fuzz.csv"), whole, &wholeError);
    const bool piecesRead = KXCsv::readData(csv, QStringLiteral("fuzz.csv"), pieces, &piecesError, pieceSize);
    if (wholeRead != piecesRead || wholeError != piecesError)
        std::abort();
    if (!wholeRead)
        return 0;
    // What was read is written and read back to the same table.
    const QByteArray written = KXCsv::write(whole);
    if (written != KXCsv::write(pieces))
        std::abort();
    KXDataModelGeneric again;
    if (!KXCsv::readData(written, QStringLiteral("again.csv"), again, nullptr) || KXCsv::write(again) != written)
        std::abort();
    return 0;
}
