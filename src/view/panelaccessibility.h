#pragma once

#include <QList>

class FrontPanel;

// The front panel as assistive technology sees it: the view is a group named "Front panel"
// whose children are the 64 controls, each with its name ("PAD7"), a role (button, slider or
// dial), a description of what it sends, its selected and focused state and a press that
// selects it. The controls' interfaces are made when a screen reader first asks for them.
namespace PanelAccessibility {

// Makes every FrontPanel answer with these interfaces; once per process is enough, more calls
// do nothing.
void install();

// Tell a listening screen reader what changed on the panel; they do nothing while no
// assistive technology is active.
void focusMoved(FrontPanel *panel, int control);
// The controls selected before and now, each in index order.
void selectionChanged(FrontPanel *panel, const QList<int> &before, const QList<int> &now);
void descriptionsChanged(FrontPanel *panel, const QList<int> &controls);

} // namespace PanelAccessibility
