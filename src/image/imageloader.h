#pragma once

#include "image/firmwareimage.h"
#include "image/hexrecord.h"

#include <QByteArray>
#include <QString>

// Files larger than this are refused unread: no firmware of the reader family
// comes near it, and reading it whole would only exhaust memory.
constexpr qint64 kMaxImageFileSize = 256LL * 1024 * 1024;

// Why a load failed, for tools and logs. The window itself only learns
// valid or not.
struct LoadReport {
    enum class Failure {
        None,
        CannotRead, // the file cannot be opened or read
        TooLarge, // above kMaxImageFileSize
        Empty, // the file has no line
        EncryptedWithoutText, // the header names encryption, no line follows
        Decryption, // the encrypted text cannot be deciphered
        ZeroByte, // a zero byte inside the text: a damaged file
        TooManyLines, // more lines than a firmware file of its size holds
        OutOfMemory, // not enough memory to hold the file's lines
        NoRecords, // no line begins with ':'
        Record, // a record failed one of its tests
    };

    Failure failure = Failure::None;
    HexRecord::Test failedTest = HexRecord::Test::None;
    qsizetype line = 0; // 1-based line of the failing record
    qsizetype records = 0; // record lines tested
    qsizetype lines = 0; // lines of a text refused for holding too many
    bool wasEncrypted = false;
    QString detail; // system or cipher error text
    // SHA-256 (hex) of the file's bytes as read, set by loadImage() once it
    // read them: a record of the file itself, read only once.
    QByteArray fileSha256;

    // One line for a technician, e.g. "line 12: checksum 3F, the record's
    // bytes call for 3E".
    QString reason() const;
};

// Load image: reads the named file into the image and tells whether it is a
// usable firmware file. fileName may hold wildcards; it is rewritten to the
// name found on disk. Sets the record list, held encrypted and the content
// flags; never throws. When the file cannot be read the record list keeps its
// previous lines.
bool loadImage(QString &fileName, FirmwareImage &image, LoadReport *report = nullptr);

// The part of Load image after the file was read: splits the text into the
// record list, deciphers an encrypted file and tests every record. Content
// flags found before a failing record stay set.
bool loadImageFromText(QByteArray text, FirmwareImage &image, LoadReport *report = nullptr);
