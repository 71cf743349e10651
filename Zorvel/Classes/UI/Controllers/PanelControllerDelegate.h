// What the panel controller asks its owner: the tray icon's view, under which
// the panel unfolds.
#pragma once

class PanelController;
class StatusItemView;

class PanelControllerDelegate
{
public:
    virtual ~PanelControllerDelegate() = default;
    // Optional: the default answers none, and the panel then unfolds from the
    // middle of the primary screen's top edge.
    virtual StatusItemView *statusItemViewForPanelController(PanelController * /*controller*/) { return nullptr; }
};
