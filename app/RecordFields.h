// The named fields of the project record in record order, for tools that show
// or set them by name.
#pragma once

#include "app/Struct.h"

#include <QString>
#include <vector>

struct RecordField {
    enum Kind { Byte, Int32, String };
    const char *name;
    size_t offset;
    Kind kind;
};

const std::vector<RecordField> &RecordFields();
const RecordField *FindRecordField(const QString &name);

// The value as text: numbers in decimal, strings decoded from GBK.
QString FieldValue(const TProjectRecord &record, const RecordField &field);
// Throws VelmoraError when the value does not fit the field's type. A text
// longer than the field's 255 GBK bytes is cut at a character boundary; the
// result then says so ("字体名超过255字节，已截断为127个字符"), else it is empty.
QString SetFieldValue(TProjectRecord &record, const RecordField &field, const QString &value);
