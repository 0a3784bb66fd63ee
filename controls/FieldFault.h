#pragma once
// The mark of an input field whose content keeps its dialog from being confirmed: a
// tinted background, a warning icon at the end of the field where the field is wide
// enough to keep room for its text, and what is wrong as its tool tip (and as its
// accessible description, for screen readers).
#include <QString>

class QLineEdit;

// Marks Field with Fault, or takes the mark away when Fault is empty. While marked,
// the field's palette is ours.
void SetFieldFault(QLineEdit* Field, const QString& Fault);
// What Field is marked with; empty when it is not marked.
QString FieldFault(const QLineEdit* Field);
