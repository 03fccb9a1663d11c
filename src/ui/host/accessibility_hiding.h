#pragma once

class QWidget;

namespace voltrane {

/// Hides a decorative widget from assistive technologies: its accessible interface reports
/// it invisible, with no role and no text. Also used on the parts of a card that is read as
/// one element, so only the card speaks.
void hideFromAccessibility(QWidget* widget);

/// Whether `widget` was hidden with hideFromAccessibility.
bool isHiddenFromAccessibility(const QWidget* widget);

} // namespace voltrane
