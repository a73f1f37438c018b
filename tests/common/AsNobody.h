#pragma once

#include <QProcessEnvironment>
#include <QString>

// Root reads and writes every file, so a test of a file or folder the user
// may not use runs one of its cases again as the unprivileged user nobody,
// from a copy of the test program in folder (the build's folders may be
// closed to nobody). The copy is named AsNobodyProgram. Returns what the case
// printed when it did not pass (skipped or filtered away counts as not
// passed), or an empty text.
inline const QString AsNobodyProgram = QStringLiteral("as-nobody");
QString failureAsNobody(const QString &folder, const QString &testName,
                        const QProcessEnvironment &variables);
