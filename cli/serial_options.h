// brindle-cli's production options: --store, --station, --series and the serial number's
// field, and history's filters.
#pragma once

#include "options.h"

namespace brindle::cli {

// The options of this kind that take a value.
extern const QStringList kSerialValueOptions;

// One of them with its value; false with o->error set when the value is wrong.
bool takeSerialOption(const QString& name, const QString& value, Options* o);
// --reuse-failed, false for any other flag.
bool takeSerialFlag(const QString& arg, Options* o);
// What the command and these options say together; the line that refuses them, or empty.
QString checkSerialOptions(Options* o);

} // namespace brindle::cli
