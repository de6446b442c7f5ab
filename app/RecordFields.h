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
// Throws VelmoraError when the value does not fit the field's type.
void SetFieldValue(TProjectRecord &record, const RecordField &field, const QString &value);
