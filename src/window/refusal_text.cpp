#include "window/refusal_text.h"

#include "window/local_text.h"

namespace qelvor {

QString CRefusalText::Of(const NumberRefusal& refusal, QString label) {
    label.remove(QLatin1Char(':'));
    label = label.trimmed();
    if (!refusal.reason.empty()) {
        return tr("\"%1\" names no port to open: %2\nNothing was saved.")
            .arg(label, LocalText(refusal.reason));
    }
    if (refusal.Ranged()) {
        return tr("\"%1\" takes a whole number from %3 to %4, and \"%2\" is not one.\n"
                  "Nothing was saved.")
            .arg(label, LocalText(refusal.text))
            .arg(refusal.min)
            .arg(refusal.max);
    }
    return tr("\"%1\" takes a whole number, and \"%2\" is none.\nNothing was saved.")
        .arg(label, LocalText(refusal.text));
}

}  // namespace qelvor
