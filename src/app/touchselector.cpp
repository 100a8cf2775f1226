#include "touchselector.h"

#include "frontpanel.h"
#include "patchdocument.h"
#include "selection.h"

TouchSelector::TouchSelector(const PatchDocument *document, Selection *selection, FrontPanel *panel,
                             QObject *parent)
    : QObject(parent)
    , document(document)
    , selection(selection)
    , panel(panel)
{
}

void TouchSelector::take(const MidiTraffic &batch)
{
    if (!on)
        return;
    std::optional<TouchMatch::Touch> touch;
    for (auto message = batch.crbegin(); message != batch.crend() && !touch; ++message) {
        if (!message->outgoing)
            touch = TouchMatch::touchOf(message->bytes);
    }
    if (!touch)
        return;
    match.setPatch(document->devicePatch());
    const QList<int> controls = match.controlsSending(*touch);
    if (selection->isMulti()) {
        for (int control : controls)
            selection->select(control);
    } else if (!controls.isEmpty()) {
        selection->set(controls);
    }
    for (int control : controls)
        panel->flash(control);

    const bool told = lastTouch == touch && sinceTouch.isValid() && sinceTouch.elapsed() < quietMs;
    lastTouch = touch;
    sinceTouch.start();
    const QString text = TouchMatch::matchText(*touch, controls);
    if (!told && !text.isEmpty())
        emit statusMessage(text);
}
