<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>ConnectionField</name>
    <message>
        <source>Vellichord disconnected</source>
        <translation>Vellichord getrennt</translation>
    </message>
    <message>
        <source>MIDI system stopped</source>
        <translation>MIDI-System angehalten</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>Nicht verbunden</translation>
    </message>
    <message>
        <source>Connected: %1</source>
        <translation>Verbunden: %1</translation>
    </message>
</context>
<context>
    <name>ControlClipboard</name>
    <message>
        <source>Select the control to copy first</source>
        <translation>Wählen Sie zuerst das Steuerelement zum Kopieren</translation>
    </message>
    <message>
        <source>Copy takes one control; %1 are selected</source>
        <translation>Kopieren nimmt ein Steuerelement; %1 sind ausgewählt</translation>
    </message>
    <message>
        <source>Copied %1</source>
        <translation>%1 kopiert</translation>
    </message>
    <message>
        <source>Select the controls to paste onto first</source>
        <translation>Wählen Sie zuerst die Steuerelemente zum Einfügen</translation>
    </message>
    <message>
        <source>Nothing pasted: the clipboard&apos;s text is no control copied from the editor</source>
        <translation>Nichts eingefügt: Der Text in der Zwischenablage ist kein aus dem Editor kopiertes Steuerelement</translation>
    </message>
    <message>
        <source>Nothing pasted: the clipboard holds no control</source>
        <translation>Nichts eingefügt: Die Zwischenablage enthält kein Steuerelement</translation>
    </message>
    <message>
        <source>%1 controls</source>
        <translation>%1 Steuerelemente</translation>
    </message>
    <message>
        <source>Paste %1 but Note/CC onto %2</source>
        <translation>%1 außer Note/CC auf %2 einfügen</translation>
    </message>
    <message>
        <source>Paste %1 onto %2</source>
        <translation>%1 auf %2 einfügen</translation>
    </message>
    <message>
        <source>Nothing pasted: the selected controls have none of the parameters copied from %1</source>
        <translation>Nichts eingefügt: Die ausgewählten Steuerelemente haben keinen der von %1 kopierten Parameter</translation>
    </message>
    <message>
        <source>The selected controls already hold what was copied from %1</source>
        <translation>Die ausgewählten Steuerelemente enthalten bereits, was von %1 kopiert wurde</translation>
    </message>
    <message>
        <source>Pasted %1 onto %2, each keeping its note or CC</source>
        <translation>%1 auf %2 eingefügt, jedes behält seine Note oder seinen CC</translation>
    </message>
    <message>
        <source>Pasted %1 onto %2</source>
        <translation>%1 auf %2 eingefügt</translation>
    </message>
</context>
<context>
    <name>ControlNames</name>
    <message numerus="yes">
        <source>%n controls</source>
        <translation>
            <numerusform>%n Steuerelement</numerusform>
            <numerusform>%n Steuerelemente</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ControlSummary</name>
    <message>
        <source>Note %1 (%2)</source>
        <translation>Note %1 (%2)</translation>
    </message>
    <message>
        <source>Aftertouch %1</source>
        <translation>Aftertouch %1</translation>
    </message>
</context>
<context>
    <name>DeviceClaim</name>
    <message>
        <source>the Vellichord Editor</source>
        <translation>der Vellichord Editor</translation>
    </message>
</context>
<context>
    <name>EditorMenus</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Load Settings…</source>
        <translation>Einstellungen &amp;laden…</translation>
    </message>
    <message>
        <source>Load Settings: read a patch file into the editor</source>
        <translation>Einstellungen laden: eine Patch-Datei in den Editor lesen</translation>
    </message>
    <message>
        <source>&amp;Save Settings…</source>
        <translation>Einstellungen &amp;speichern…</translation>
    </message>
    <message>
        <source>Save Settings: write the editor&apos;s patch to a file</source>
        <translation>Einstellungen speichern: den Patch des Editors in eine Datei schreiben</translation>
    </message>
    <message>
        <source>&amp;Open Library…</source>
        <translation>Bibliothek ö&amp;ffnen…</translation>
    </message>
    <message>
        <source>Open Library: read a library file of presets into the library</source>
        <translation>Bibliothek öffnen: eine Bibliotheksdatei mit Presets in die Bibliothek lesen</translation>
    </message>
    <message>
        <source>Save Library &amp;As…</source>
        <translation>Bibliothek speichern &amp;unter…</translation>
    </message>
    <message>
        <source>Save Library As: write the library&apos;s presets to a library file</source>
        <translation>Bibliothek speichern unter: die Presets der Bibliothek in eine Bibliotheksdatei schreiben</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Close the editor</source>
        <translation>Den Editor schließen</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Rückgängig</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>&amp;Wiederholen</translation>
    </message>
    <message>
        <source>Select &amp;All</source>
        <translation>&amp;Alles auswählen</translation>
    </message>
    <message>
        <source>Select every control</source>
        <translation>Alle Steuerelemente auswählen</translation>
    </message>
    <message>
        <source>Select &amp;None</source>
        <translation>Auswahl auf&amp;heben</translation>
    </message>
    <message>
        <source>Clear the selection</source>
        <translation>Die Auswahl aufheben</translation>
    </message>
    <message>
        <source>Nu&amp;mber Selected Controls…</source>
        <translation>Ausgewählte Steuerelemente &amp;nummerieren…</translation>
    </message>
    <message>
        <source>Give the selected controls consecutive note or CC numbers</source>
        <translation>Den ausgewählten Steuerelementen fortlaufende Noten- oder CC-Nummern geben</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>&amp;Device</source>
        <translation>&amp;Gerät</translation>
    </message>
    <message>
        <source>&amp;Upload from Vellichord</source>
        <translation>Vom Vellichord &amp;empfangen</translation>
    </message>
    <message>
        <source>Upload: get the patch from the Vellichord into the editor</source>
        <translation>Empfangen: den Patch vom Vellichord in den Editor holen</translation>
    </message>
    <message>
        <source>&amp;Download to Vellichord</source>
        <translation>An Vellichord &amp;senden</translation>
    </message>
    <message>
        <source>Download: send the editor&apos;s patch to the Vellichord</source>
        <translation>Senden: den Patch des Editors an das Vellichord senden</translation>
    </message>
    <message>
        <source>&amp;Revert to Device Patch</source>
        <translation>Auf Geräte-Patch &amp;zurücksetzen</translation>
    </message>
    <message>
        <source>Revert to Device Patch: drop the unsent changes and take the patch the Vellichord holds, as one step that Undo takes back</source>
        <translation>Auf Geräte-Patch zurücksetzen: die nicht gesendeten Änderungen verwerfen und den Patch des Vellichord übernehmen, als ein Schritt, den Rückgängig zurücknimmt</translation>
    </message>
    <message>
        <source>Receive into &amp;Library</source>
        <translation>In &amp;Bibliothek empfangen</translation>
    </message>
    <message>
        <source>Receive into Library: upload the Vellichord&apos;s current preset into its row of the library</source>
        <translation>In Bibliothek empfangen: das aktuelle Preset des Vellichord in seine Zeile der Bibliothek holen</translation>
    </message>
    <message>
        <source>Update &amp;Firmware…</source>
        <translation>&amp;Firmware aktualisieren…</translation>
    </message>
    <message>
        <source>Update: install new firmware on the Vellichord</source>
        <translation>Aktualisieren: neue Firmware auf dem Vellichord installieren</translation>
    </message>
    <message>
        <source>Select Controls by &amp;Touch</source>
        <translation>Steuerelemente durch Berühren &amp;wählen</translation>
    </message>
    <message>
        <source>Select Controls by Touch: a control touched on the Vellichord is selected, as a click on it would</source>
        <translation>Steuerelemente durch Berühren wählen: ein am Vellichord berührtes Steuerelement wird ausgewählt, wie durch einen Klick darauf</translation>
    </message>
    <message>
        <source>Send Changes as You &amp;Edit</source>
        <translation>Änderungen &amp;live senden</translation>
    </message>
    <message>
        <source>Send Changes as You Edit: each edit goes to the Vellichord at once, without Download</source>
        <translation>Änderungen live senden: jede Bearbeitung geht sofort an das Vellichord, ohne Senden</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>Ü&amp;ber</translation>
    </message>
    <message>
        <source>Program and library versions</source>
        <translation>Versionen des Programms und der Bibliotheken</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <source>Copy: put the selected control&apos;s settings on the clipboard, also as text</source>
        <translation>Kopieren: die Einstellungen des ausgewählten Steuerelements in die Zwischenablage legen, auch als Text</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>&amp;Einfügen</translation>
    </message>
    <message>
        <source>Paste: give the selected controls every copied setting they have, as one step</source>
        <translation>Einfügen: den ausgewählten Steuerelementen jede kopierte Einstellung geben, die sie haben, als ein Schritt</translation>
    </message>
    <message>
        <source>Paste All &amp;but Note/CC</source>
        <translation>Alles außer Note/CC einf&amp;ügen</translation>
    </message>
    <message>
        <source>Paste All but Note/CC: paste, each selected control keeping its own note or CC number</source>
        <translation>Alles außer Note/CC einfügen: einfügen, wobei jedes ausgewählte Steuerelement seine eigene Noten- oder CC-Nummer behält</translation>
    </message>
    <message>
        <source>C&amp;heck</source>
        <translation>&amp;Prüfen</translation>
    </message>
    <message>
        <source>Check: mark the controls that send the same note or CC on one channel, or a CC that DAWs and synths reserve</source>
        <translation>Prüfen: die Steuerelemente markieren, die dieselbe Note oder denselben CC auf einem Kanal senden, oder einen CC, den DAWs und Synthesizer reservieren</translation>
    </message>
</context>
<context>
    <name>EditorPane</name>
    <message>
        <source>%1: %2 is out of range (allowed: %3..%4); %4 is set</source>
        <translation>%1: %2 liegt außerhalb des Bereichs (erlaubt: %3..%4); %4 ist gesetzt</translation>
    </message>
    <message>
        <source>&lt;multi&gt;</source>
        <translation>&lt;mehrere&gt;</translation>
    </message>
</context>
<context>
    <name>FrontPanel</name>
    <message>
        <source>No Vellichord found</source>
        <translation>Kein Vellichord gefunden</translation>
    </message>
    <message>
        <source>Front panel</source>
        <translation>Frontplatte</translation>
    </message>
</context>
<context>
    <name>LibraryDocument</name>
    <message>
        <source>%1 and %2</source>
        <translation>%1 und %2</translation>
    </message>
    <message>
        <source>presets %1</source>
        <translation>Presets %1</translation>
    </message>
    <message>
        <source>preset %1</source>
        <translation>Preset %1</translation>
    </message>
    <message>
        <source>Receive into Library failed: no answer from Vellichord</source>
        <translation>In Bibliothek empfangen fehlgeschlagen: keine Antwort vom Vellichord</translation>
    </message>
    <message>
        <source>Open preset %1 from the library</source>
        <translation>Preset %1 aus der Bibliothek öffnen</translation>
    </message>
    <message>
        <source>Preset %1 “%2” is in the editor.</source>
        <translation>Preset %1 „%2“ ist im Editor.</translation>
    </message>
    <message>
        <source>Store into preset %1</source>
        <translation>In Preset %1 ablegen</translation>
    </message>
    <message>
        <source>The editor&apos;s patch is stored as preset %1 in the library.</source>
        <translation>Der Patch des Editors ist als Preset %1 in der Bibliothek abgelegt.</translation>
    </message>
    <message>
        <source>Rename preset %1</source>
        <translation>Preset %1 umbenennen</translation>
    </message>
    <message>
        <source>Nothing to paste: the clipboard holds no Vellichord patch</source>
        <translation>Nichts einzufügen: Die Zwischenablage enthält keinen Vellichord-Patch</translation>
    </message>
    <message>
        <source>Paste into preset %1</source>
        <translation>In Preset %1 einfügen</translation>
    </message>
    <message>
        <source>Swap presets %1 and %2</source>
        <translation>Presets %1 und %2 tauschen</translation>
    </message>
    <message>
        <source>Delete preset %1</source>
        <translation>Preset %1 löschen</translation>
    </message>
    <message>
        <source>Could not open library file: %1: %2</source>
        <translation>Bibliotheksdatei konnte nicht geöffnet werden: %1: %2</translation>
    </message>
    <message>
        <source>Open library %1</source>
        <translation>Bibliothek %1 öffnen</translation>
    </message>
    <message>
        <source>Library opened: %1 (1 preset)</source>
        <translation>Bibliothek geöffnet: %1 (1 Preset)</translation>
    </message>
    <message>
        <source>Library opened: %1 (%2 presets)</source>
        <translation>Bibliothek geöffnet: %1 (%2 Presets)</translation>
    </message>
    <message>
        <source>Nothing to save: the library is empty</source>
        <translation>Nichts zu speichern: Die Bibliothek ist leer</translation>
    </message>
    <message>
        <source>Could not save library file: %1</source>
        <translation>Bibliotheksdatei konnte nicht gespeichert werden: %1</translation>
    </message>
    <message>
        <source>Library saved: %1</source>
        <translation>Bibliothek gespeichert: %1</translation>
    </message>
    <message>
        <source>Not received into the library: the Vellichord&apos;s patch has preset number %1</source>
        <translation>Nicht in die Bibliothek empfangen: Der Patch des Vellichord hat die Preset-Nummer %1</translation>
    </message>
    <message>
        <source>Receive preset %1 into the library</source>
        <translation>Preset %1 in die Bibliothek empfangen</translation>
    </message>
    <message>
        <source>Preset %1 received into the library.</source>
        <translation>Preset %1 in die Bibliothek empfangen.</translation>
    </message>
    <message>
        <source>Nothing to send: the rows chosen are empty</source>
        <translation>Nichts zu senden: Die gewählten Zeilen sind leer</translation>
    </message>
</context>
<context>
    <name>LibraryFiles</name>
    <message>
        <source>Recent file not found, removed from the list: %1</source>
        <translation>Zuletzt geöffnete Datei nicht gefunden, aus der Liste entfernt: %1</translation>
    </message>
    <message>
        <source>Unsaved library</source>
        <translation>Ungespeicherte Bibliothek</translation>
    </message>
    <message>
        <source>The library has changes that are in no file yet.</source>
        <translation>Die Bibliothek hat Änderungen, die noch in keiner Datei sind.</translation>
    </message>
    <message>
        <source>Save Library…</source>
        <translation>Bibliothek speichern…</translation>
    </message>
    <message>
        <source>Discard</source>
        <translation>Verwerfen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>LibraryModel</name>
    <message>
        <source>from the device</source>
        <translation>vom Gerät</translation>
    </message>
    <message>
        <source>from a file</source>
        <translation>aus einer Datei</translation>
    </message>
    <message>
        <source>changed</source>
        <translation>geändert</translation>
    </message>
    <message>
        <source>sent</source>
        <translation>gesendet</translation>
    </message>
    <message>
        <source>Preset %1: empty</source>
        <translation>Preset %1: leer</translation>
    </message>
    <message>
        <source>Preset %1 “%2”: %3</source>
        <translation>Preset %1 „%2“: %3</translation>
    </message>
    <message>
        <source>; not what the Vellichord holds</source>
        <translation>; nicht das, was das Vellichord enthält</translation>
    </message>
</context>
<context>
    <name>LibraryPanel</name>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Library</source>
        <translation>Bibliothek</translation>
    </message>
    <message>
        <source>The twenty presets of the library: Enter opens one in the editor, F2 renames it</source>
        <translation>Die zwanzig Presets der Bibliothek: Eingabe öffnet eines im Editor, F2 benennt es um</translation>
    </message>
    <message>
        <source>Presets sent</source>
        <translation>Gesendete Presets</translation>
    </message>
    <message>
        <source>%v of %m presets</source>
        <translation>%v von %m Presets</translation>
    </message>
    <message>
        <source>Stop sending after the preset under way</source>
        <translation>Senden nach dem laufenden Preset beenden</translation>
    </message>
    <message>
        <source>&amp;Open in Editor</source>
        <translation>Im Editor ö&amp;ffnen</translation>
    </message>
    <message>
        <source>Open: the editor&apos;s patch becomes this preset</source>
        <translation>Öffnen: der Patch des Editors wird zu diesem Preset</translation>
    </message>
    <message>
        <source>&amp;Store Editor&apos;s Patch Here</source>
        <translation>Patch des Editors hier a&amp;blegen</translation>
    </message>
    <message>
        <source>Store Here: put the editor&apos;s patch into the selected preset of the library</source>
        <translation>Hier ablegen: den Patch des Editors in das ausgewählte Preset der Bibliothek legen</translation>
    </message>
    <message>
        <source>&amp;Rename</source>
        <translation>&amp;Umbenennen</translation>
    </message>
    <message>
        <source>Rename the preset</source>
        <translation>Das Preset umbenennen</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <source>Copy the preset&apos;s patch</source>
        <translation>Den Patch des Presets kopieren</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>&amp;Einfügen</translation>
    </message>
    <message>
        <source>Paste the copied patch into this preset</source>
        <translation>Den kopierten Patch in dieses Preset einfügen</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <source>Delete: the preset&apos;s row becomes empty</source>
        <translation>Löschen: die Zeile des Presets wird leer</translation>
    </message>
    <message>
        <source>Se&amp;nd to Vellichord</source>
        <translation>An Vellichord &amp;senden</translation>
    </message>
    <message>
        <source>Send this preset to the Vellichord</source>
        <translation>Dieses Preset an das Vellichord senden</translation>
    </message>
    <message>
        <source>Send Se&amp;lected</source>
        <translation>Aus&amp;gewählte senden</translation>
    </message>
    <message>
        <source>Send the selected presets to the Vellichord</source>
        <translation>Die ausgewählten Presets an das Vellichord senden</translation>
    </message>
    <message>
        <source>Send &amp;All to Vellichord</source>
        <translation>Alle an Vellichord sen&amp;den</translation>
    </message>
    <message>
        <source>Send every preset of the library to the Vellichord</source>
        <translation>Jedes Preset der Bibliothek an das Vellichord senden</translation>
    </message>
    <message>
        <source>Send to Vellichord</source>
        <translation>An Vellichord senden</translation>
    </message>
    <message>
        <source>This replaces %1 on the Vellichord.</source>
        <translation>Dies ersetzt %1 auf dem Vellichord.</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>LibrarySender</name>
    <message>
        <source>preset %1 (%2)</source>
        <translation>Preset %1 (%2)</translation>
    </message>
    <message>
        <source>presets %1 (%2)</source>
        <translation>Presets %1 (%2)</translation>
    </message>
    <message>
        <source>Sent no preset</source>
        <translation>Kein Preset gesendet</translation>
    </message>
    <message>
        <source>Sent %1</source>
        <translation>%1 gesendet</translation>
    </message>
    <message>
        <source>failed: %1</source>
        <translation>fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>not tried: %1</source>
        <translation>nicht versucht: %1</translation>
    </message>
    <message>
        <source>Stopped. %1</source>
        <translation>Angehalten. %1</translation>
    </message>
</context>
<context>
    <name>LiveSend</name>
    <message>
        <source>Send Changes as You Edit is off: %1</source>
        <translation>Änderungen live senden ist aus: %1</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Tarvel Vellichord Editor[*]</source>
        <translation>Tarvel Vellichord Editor[*]</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>Download</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>Save Settings</source>
        <translation>Einstellungen speichern</translation>
    </message>
    <message>
        <source>Select Single</source>
        <translation>Einzeln wählen</translation>
    </message>
    <message>
        <source>Upload</source>
        <translation>Empfangen</translation>
    </message>
    <message>
        <source>Load Settings</source>
        <translation>Einstellungen laden</translation>
    </message>
    <message>
        <source>Select Multi</source>
        <translation>Mehrfach wählen</translation>
    </message>
    <message>
        <source>Select Single: a click selects one control, Ctrl-click adds or removes one</source>
        <translation>Einzeln wählen: ein Klick wählt ein Steuerelement, Strg-Klick fügt eines hinzu oder entfernt es</translation>
    </message>
    <message>
        <source>Select Multi: a click adds or removes one control; a band selects the controls it touches, with Ctrl or Shift added to the selection</source>
        <translation>Mehrfach wählen: ein Klick fügt ein Steuerelement hinzu oder entfernt es; ein Rahmen wählt die Steuerelemente, die er berührt, mit Strg oder Umschalt zusätzlich zur Auswahl</translation>
    </message>
    <message>
        <source>MIDI &amp;Monitor</source>
        <translation>MIDI-&amp;Monitor</translation>
    </message>
    <message>
        <source>Show or hide the window that lists every MIDI message in and out</source>
        <translation>Das Fenster ein- oder ausblenden, das jede ein- und ausgehende MIDI-Nachricht auflistet</translation>
    </message>
    <message>
        <source>Library</source>
        <translation>Bibliothek</translation>
    </message>
    <message>
        <source>&amp;Library</source>
        <translation>&amp;Bibliothek</translation>
    </message>
    <message>
        <source>Show or hide the library of twenty presets</source>
        <translation>Die Bibliothek mit zwanzig Presets ein- oder ausblenden</translation>
    </message>
    <message>
        <source>Check: no two controls send the same note or CC on one channel, and none sends a reserved CC</source>
        <translation>Prüfen: keine zwei Steuerelemente senden dieselbe Note oder denselben CC auf einem Kanal, und keines sendet einen reservierten CC</translation>
    </message>
    <message>
        <source>Check: 1 finding</source>
        <translation>Prüfen: 1 Befund</translation>
    </message>
    <message>
        <source>Check: %1 findings</source>
        <translation>Prüfen: %1 Befunde</translation>
    </message>
    <message>
        <source>, marked on the controls; their tooltips say why</source>
        <translation>, an den Steuerelementen markiert; ihre Tooltips sagen warum</translation>
    </message>
    <message>
        <source>Recent file not found, removed from the list: %1</source>
        <translation>Zuletzt geöffnete Datei nicht gefunden, aus der Liste entfernt: %1</translation>
    </message>
    <message>
        <source>Select the controls to number first</source>
        <translation>Wählen Sie zuerst die zu nummerierenden Steuerelemente</translation>
    </message>
    <message numerus="yes">
        <source>Number %n controls</source>
        <translation>
            <numerusform>%n Steuerelement nummerieren</numerusform>
            <numerusform>%n Steuerelemente nummerieren</numerusform>
        </translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>&lt;b&gt;Tarvel Vellichord Editor&lt;/b&gt; %1&lt;br&gt;Qt %2&lt;br&gt;MIDI: %3</source>
        <translation>&lt;b&gt;Tarvel Vellichord Editor&lt;/b&gt; %1&lt;br&gt;Qt %2&lt;br&gt;MIDI: %3</translation>
    </message>
    <message>
        <source>Unsent changes</source>
        <translation>Nicht gesendete Änderungen</translation>
    </message>
    <message>
        <source>The editor closes once the firmware update has ended</source>
        <translation>Der Editor schließt sich, sobald das Firmware-Update beendet ist</translation>
    </message>
    <message>
        <source>No unsent changes</source>
        <translation>Keine nicht gesendeten Änderungen</translation>
    </message>
</context>
<context>
    <name>MidiController</name>
    <message>
        <source>Download refused: %1; choose a preset 0..%2 on the Vellichord and upload it</source>
        <translation>Senden abgelehnt: %1; wählen Sie am Vellichord ein Preset 0..%2 und empfangen Sie es</translation>
    </message>
    <message>
        <source>Patch uploaded.</source>
        <translation>Patch empfangen.</translation>
    </message>
    <message>
        <source>Its %1: Download is off until a patch of a preset 0..%2 arrives.</source>
        <translation>Sein %1: Senden ist aus, bis ein Patch eines Presets 0..%2 ankommt.</translation>
    </message>
</context>
<context>
    <name>MidiMonitorWindow</name>
    <message>
        <source>Hide Clock and Active Sensing</source>
        <translation>Clock und Active Sensing ausblenden</translation>
    </message>
    <message>
        <source>Hide Notes</source>
        <translation>Noten ausblenden</translation>
    </message>
    <message>
        <source>Hide CCs</source>
        <translation>CCs ausblenden</translation>
    </message>
    <message>
        <source>Hide SysEx</source>
        <translation>SysEx ausblenden</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>MIDI Monitor</source>
        <translation>MIDI-Monitor</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Save as Text…</source>
        <translation>Als Text speichern…</translation>
    </message>
    <message>
        <source>Could not save the monitor&apos;s lines to %1: %2</source>
        <translation>Die Zeilen des Monitors konnten nicht in %1 gespeichert werden: %2</translation>
    </message>
    <message>
        <source>Save as Text</source>
        <translation>Als Text speichern</translation>
    </message>
    <message>
        <source>Text files (*.txt);;All files (*)</source>
        <translation>Textdateien (*.txt);;Alle Dateien (*)</translation>
    </message>
</context>
<context>
    <name>MidiTrafficModel</name>
    <message>
        <source>out</source>
        <translation>aus</translation>
    </message>
    <message>
        <source>in</source>
        <translation>ein</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Zeit</translation>
    </message>
    <message>
        <source>Dir</source>
        <translation>Richt.</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Nachricht</translation>
    </message>
    <message>
        <source>Raw</source>
        <translation>Roh</translation>
    </message>
</context>
<context>
    <name>Numbering</name>
    <message>
        <source>%1 would get number %2, outside 0 to 127. Nothing was changed: choose a lower start or a smaller step.</source>
        <translation>%1 bekäme die Nummer %2, außerhalb von 0 bis 127. Nichts wurde geändert: Wählen Sie einen niedrigeren Start oder eine kleinere Schrittweite.</translation>
    </message>
    <message>
        <source>None of the selected controls has a note or controller number.</source>
        <translation>Keines der ausgewählten Steuerelemente hat eine Noten- oder Controller-Nummer.</translation>
    </message>
</context>
<context>
    <name>NumberingDialog</name>
    <message>
        <source>Number Selected Controls</source>
        <translation>Ausgewählte Steuerelemente nummerieren</translation>
    </message>
    <message>
        <source>A note or controller number (0 to 127) or a note name such as C1</source>
        <translation>Eine Noten- oder Controller-Nummer (0 bis 127) oder ein Notenname wie C1</translation>
    </message>
    <message>
        <source>Selection order</source>
        <translation>Reihenfolge der Auswahl</translation>
    </message>
    <message>
        <source>Rows left to right, from the top</source>
        <translation>Reihen von links nach rechts, von oben</translation>
    </message>
    <message>
        <source>Rows left to right, from the bottom</source>
        <translation>Reihen von links nach rechts, von unten</translation>
    </message>
    <message>
        <source>&amp;Start:</source>
        <translation>&amp;Start:</translation>
    </message>
    <message>
        <source>S&amp;tep:</source>
        <translation>Sc&amp;hrittweite:</translation>
    </message>
    <message>
        <source>&amp;Order:</source>
        <translation>&amp;Reihenfolge:</translation>
    </message>
    <message>
        <source>The start must be a number from 0 to 127 or a note name such as C1.</source>
        <translation>Der Start muss eine Zahl von 0 bis 127 oder ein Notenname wie C1 sein.</translation>
    </message>
</context>
<context>
    <name>ParameterInfo</name>
    <message>
        <source>Ch %1</source>
        <translation>Kan. %1</translation>
    </message>
    <message>
        <source>Global</source>
        <translation>Global</translation>
    </message>
    <message>
        <source>Channel</source>
        <translation>Kanal</translation>
    </message>
    <message>
        <source>CC</source>
        <translation>CC</translation>
    </message>
    <message>
        <source>CC X</source>
        <translation>CC X</translation>
    </message>
    <message>
        <source>CC Y</source>
        <translation>CC Y</translation>
    </message>
    <message>
        <source>Min</source>
        <translation>Min</translation>
    </message>
    <message>
        <source>Min X</source>
        <translation>Min X</translation>
    </message>
    <message>
        <source>Min Y</source>
        <translation>Min Y</translation>
    </message>
    <message>
        <source>Max</source>
        <translation>Max</translation>
    </message>
    <message>
        <source>Max X</source>
        <translation>Max X</translation>
    </message>
    <message>
        <source>Max Y</source>
        <translation>Max Y</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Typ</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>Modus</translation>
    </message>
    <message>
        <source>Note/CC</source>
        <translation>Note/CC</translation>
    </message>
    <message>
        <source>Aftertouch</source>
        <translation>Aftertouch</translation>
    </message>
    <message>
        <source>Color</source>
        <translation>Farbe</translation>
    </message>
    <message>
        <source>Color Fn</source>
        <translation>Farbe Fn</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>Momentary</source>
        <translation>Taster</translation>
    </message>
    <message>
        <source>Toggle</source>
        <translation>Schalter</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>On</source>
        <translation>Ein</translation>
    </message>
    <message>
        <source>Red</source>
        <translation>Rot</translation>
    </message>
    <message>
        <source>Green</source>
        <translation>Grün</translation>
    </message>
    <message>
        <source>Blue</source>
        <translation>Blau</translation>
    </message>
</context>
<context>
    <name>PatchCheck</name>
    <message>
        <source>Note %1</source>
        <translation>Note %1</translation>
    </message>
    <message>
        <source>CC %1</source>
        <translation>CC %1</translation>
    </message>
    <message>
        <source>Ch %1</source>
        <translation>Kan. %1</translation>
    </message>
    <message>
        <source>the global channel</source>
        <translation>dem globalen Kanal</translation>
    </message>
    <message>
        <source>%1 and %2 both send %3 on %4</source>
        <translation>%1 und %2 senden beide %3 auf %4</translation>
    </message>
    <message>
        <source>%1 and %2 all send %3 on %4</source>
        <translation>%1 und %2 senden alle %3 auf %4</translation>
    </message>
    <message>
        <source>%1 sends CC %2, which DAWs and synths reserve for %3</source>
        <translation>%1 sendet CC %2, den DAWs und Synthesizer für %3 reservieren</translation>
    </message>
    <message>
        <source>bank select</source>
        <translation>Bank Select</translation>
    </message>
    <message>
        <source>parameter numbers (RPN and NRPN)</source>
        <translation>Parameternummern (RPN und NRPN)</translation>
    </message>
    <message>
        <source>channel mode messages</source>
        <translation>Channel-Mode-Nachrichten</translation>
    </message>
</context>
<context>
    <name>PatchCommand</name>
    <message>
        <source>Rename preset</source>
        <translation>Preset umbenennen</translation>
    </message>
    <message>
        <source>Set %1 of %2</source>
        <translation>%1 von %2 setzen</translation>
    </message>
    <message>
        <source>Set %1 on %2 controls</source>
        <translation>%1 auf %2 Steuerelementen setzen</translation>
    </message>
</context>
<context>
    <name>PatchDocument</name>
    <message>
        <source>Upload failed: no answer from Vellichord</source>
        <translation>Empfangen fehlgeschlagen: keine Antwort vom Vellichord</translation>
    </message>
    <message>
        <source>Waiting for upload...</source>
        <translation>Warte auf Empfang...</translation>
    </message>
    <message>
        <source>Patch from Vellichord</source>
        <translation>Patch vom Vellichord</translation>
    </message>
    <message>
        <source>Patch request</source>
        <translation>Patch-Anfrage</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>Bereit</translation>
    </message>
    <message>
        <source>No Vellichord found</source>
        <translation>Kein Vellichord gefunden</translation>
    </message>
    <message>
        <source>Upload</source>
        <translation>Empfangen</translation>
    </message>
    <message>
        <source>Upload failed: Vellichord not connected</source>
        <translation>Empfangen fehlgeschlagen: Vellichord nicht verbunden</translation>
    </message>
    <message>
        <source>Patch downloaded</source>
        <translation>Patch gesendet</translation>
    </message>
    <message>
        <source>Download</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>Download failed: Vellichord not connected</source>
        <translation>Senden fehlgeschlagen: Vellichord nicht verbunden</translation>
    </message>
    <message>
        <source>Could not load settings file: %1: %2</source>
        <translation>Einstellungsdatei konnte nicht geladen werden: %1: %2</translation>
    </message>
    <message>
        <source>Load patch file</source>
        <translation>Patch-Datei laden</translation>
    </message>
    <message>
        <source>Settings File Loaded</source>
        <translation>Einstellungsdatei geladen</translation>
    </message>
    <message>
        <source>Settings File Loaded; %1</source>
        <translation>Einstellungsdatei geladen; %1</translation>
    </message>
    <message>
        <source>Could not save settings file: </source>
        <translation>Einstellungsdatei konnte nicht gespeichert werden: </translation>
    </message>
    <message>
        <source>Settings file saved: %1</source>
        <translation>Einstellungsdatei gespeichert: %1</translation>
    </message>
    <message>
        <source>Rename preset</source>
        <translation>Preset umbenennen</translation>
    </message>
    <message>
        <source>Revert to Device Patch</source>
        <translation>Auf Geräte-Patch zurücksetzen</translation>
    </message>
    <message>
        <source>Restore unsent changes</source>
        <translation>Nicht gesendete Änderungen wiederherstellen</translation>
    </message>
    <message>
        <source>The Vellichord&apos;s patch changed; your unsent changes are kept. Upload takes the device&apos;s patch.</source>
        <translation>Der Patch des Vellichord hat sich geändert; Ihre nicht gesendeten Änderungen bleiben erhalten. Empfangen übernimmt den Patch des Geräts.</translation>
    </message>
    <message>
        <source>Patch uploaded.</source>
        <translation>Patch empfangen.</translation>
    </message>
    <message>
        <source>%1 refused: %2 is updating the Vellichord&apos;s firmware</source>
        <translation>%1 abgelehnt: %2 aktualisiert die Firmware des Vellichord</translation>
    </message>
    <message>
        <source>Vellichord connected: Upload gets its patch, Download sends yours</source>
        <translation>Vellichord verbunden: Empfangen holt seinen Patch, Senden schickt Ihren</translation>
    </message>
    <message>
        <source>Vellichord connected</source>
        <translation>Vellichord verbunden</translation>
    </message>
</context>
<context>
    <name>PatchFile</name>
    <message>
        <source>cannot be read</source>
        <translation>kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>keine reguläre Datei</translation>
    </message>
    <message>
        <source>shorter than 348 bytes</source>
        <translation>kürzer als 348 Bytes</translation>
    </message>
    <message>
        <source>not a patch file</source>
        <translation>keine Patch-Datei</translation>
    </message>
</context>
<context>
    <name>PatchFileDialog</name>
    <message>
        <source>Patch files (*.syx);;All files (*)</source>
        <translation>Patch-Dateien (*.syx);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Library files (*.syx);;All files (*)</source>
        <translation>Bibliotheksdateien (*.syx);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>Datei öffnen</translation>
    </message>
    <message>
        <source>Save File</source>
        <translation>Datei speichern</translation>
    </message>
    <message>
        <source>Open Library</source>
        <translation>Bibliothek öffnen</translation>
    </message>
    <message>
        <source>Save Library As</source>
        <translation>Bibliothek speichern unter</translation>
    </message>
</context>
<context>
    <name>PatchLibrary</name>
    <message>
        <source>cannot be read</source>
        <translation>kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>keine reguläre Datei</translation>
    </message>
    <message>
        <source>empty</source>
        <translation>leer</translation>
    </message>
    <message>
        <source>larger than twenty patches (%1 bytes)</source>
        <translation>größer als zwanzig Patches (%1 Bytes)</translation>
    </message>
    <message>
        <source>shorter than 348 bytes</source>
        <translation>kürzer als 348 Bytes</translation>
    </message>
    <message>
        <source>not a patch message</source>
        <translation>keine Patch-Nachricht</translation>
    </message>
    <message>
        <source>a second patch for preset %1</source>
        <translation>ein zweiter Patch für Preset %1</translation>
    </message>
    <message>
        <source>message %1 (byte %2): %3</source>
        <translation>Nachricht %1 (Byte %2): %3</translation>
    </message>
</context>
<context>
    <name>PresetNameField</name>
    <message>
        <source>The Vellichord stores only printable ASCII characters in a preset name</source>
        <translation>Das Vellichord speichert in einem Preset-Namen nur druckbare ASCII-Zeichen</translation>
    </message>
    <message>
        <source>A preset name holds at most %1 characters</source>
        <translation>Ein Preset-Name fasst höchstens %1 Zeichen</translation>
    </message>
    <message>
        <source>&quot;%1&quot; past %2 characters</source>
        <translation>„%1“ nach %2 Zeichen</translation>
    </message>
    <message>
        <source>Dropped from the preset name: %1</source>
        <translation>Aus dem Preset-Namen entfernt: %1</translation>
    </message>
    <message>
        <source>Characters in the preset name, of the %1 that the Vellichord stores</source>
        <translation>Zeichen im Preset-Namen, von den %1, die das Vellichord speichert</translation>
    </message>
    <message>
        <source>Preset name</source>
        <translation>Presetname</translation>
    </message>
</context>
<context>
    <name>RecentFiles</name>
    <message>
        <source>&amp;Recent Files</source>
        <translation>&amp;Zuletzt geöffnete Dateien</translation>
    </message>
    <message>
        <source>Recent Li&amp;braries</source>
        <translation>Zuletzt geöffnete Bibliothe&amp;ken</translation>
    </message>
</context>
<context>
    <name>TouchMatch</name>
    <message>
        <source>Note %1 on %2</source>
        <translation>Note %1 auf %2</translation>
    </message>
    <message>
        <source>CC %1 on %2</source>
        <translation>CC %1 auf %2</translation>
    </message>
    <message>
        <source>Aftertouch of Note %1 on %2</source>
        <translation>Aftertouch der Note %1 auf %2</translation>
    </message>
    <message>
        <source>Channel aftertouch on %1</source>
        <translation>Kanal-Aftertouch auf %1</translation>
    </message>
    <message>
        <source>No control sends %1</source>
        <translation>Kein Steuerelement sendet %1</translation>
    </message>
    <message>
        <source>%1 controls send %2</source>
        <translation>%1 Steuerelemente senden %2</translation>
    </message>
    <message>
        <source>%1 and %2</source>
        <translation>%1 und %2</translation>
    </message>
    <message>
        <source>%1 both send %2</source>
        <translation>%1 senden beide %2</translation>
    </message>
    <message>
        <source>%1 all send %2</source>
        <translation>%1 senden alle %2</translation>
    </message>
</context>
<context>
    <name>UnsentRecovery</name>
    <message>
        <source>Unsent changes</source>
        <translation>Nicht gesendete Änderungen</translation>
    </message>
    <message>
        <source>The Vellichord does not have your changes yet.</source>
        <translation>Das Vellichord hat Ihre Änderungen noch nicht.</translation>
    </message>
    <message>
        <source>Download and close</source>
        <translation>Senden und schließen</translation>
    </message>
    <message>
        <source>Save to file…</source>
        <translation>In Datei speichern…</translation>
    </message>
    <message>
        <source>Discard</source>
        <translation>Verwerfen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Could not restore the unsent changes: %1: %2</source>
        <translation>Die nicht gesendeten Änderungen konnten nicht wiederhergestellt werden: %1: %2</translation>
    </message>
    <message>
        <source>Could not restore the unsent changes: %1: %2; kept as %3</source>
        <translation>Die nicht gesendeten Änderungen konnten nicht wiederhergestellt werden: %1: %2; aufbewahrt als %3</translation>
    </message>
    <message>
        <source>Restore the unsent changes from %1?</source>
        <translation>Die nicht gesendeten Änderungen von %1 wiederherstellen?</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Wiederherstellen</translation>
    </message>
</context>
<context>
    <name>UpdateDialog</name>
    <message>
        <source>Tarvel Vellichord Updater</source>
        <translation>Tarvel Vellichord Updater</translation>
    </message>
    <message>
        <source>File Loaded:</source>
        <translation>Geladene Datei:</translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>Datei öffnen</translation>
    </message>
    <message>
        <source>Device Found:</source>
        <translation>Gefundenes Gerät:</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Verbinden</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>Stop the update before the next record; the Vellichord then needs a complete update</source>
        <translation>Das Update vor dem nächsten Datensatz beenden; das Vellichord braucht dann ein vollständiges Update</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Please open the update file.</source>
        <translation>Bitte öffnen Sie die Update-Datei.</translation>
    </message>
    <message>
        <source>Vellichord</source>
        <translation>Vellichord</translation>
    </message>
    <message>
        <source>Please wait for the update to end, or press Stop, before closing the updater.</source>
        <translation>Bitte warten Sie, bis das Update endet, oder drücken Sie „Stopp“, bevor Sie den Updater schließen.</translation>
    </message>
</context>
<context>
    <name>UpdateFile</name>
    <message>
        <source>Error, could not load the update file: %1 (%2)</source>
        <translation>Fehler, die Update-Datei konnte nicht geladen werden: %1 (%2)</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>keine reguläre Datei</translation>
    </message>
    <message>
        <source>larger than 1 MiB</source>
        <translation>größer als 1 MiB</translation>
    </message>
    <message>
        <source>Error file not found: </source>
        <translation>Fehler, Datei nicht gefunden: </translation>
    </message>
    <message>
        <source>Opened file: </source>
        <translation>Geöffnete Datei: </translation>
    </message>
    <message>
        <source>cannot be read</source>
        <translation>kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>Error, the update file is too large.</source>
        <translation>Fehler, die Update-Datei ist zu groß.</translation>
    </message>
    <message>
        <source>Error, the update file is damaged: line %1 is not pairs of hexadecimal digits.</source>
        <translation>Fehler, die Update-Datei ist beschädigt: Zeile %1 besteht nicht aus Paaren hexadezimaler Ziffern.</translation>
    </message>
    <message>
        <source>Error, the update file is damaged: it holds no data.</source>
        <translation>Fehler, die Update-Datei ist beschädigt: Sie enthält keine Daten.</translation>
    </message>
    <message>
        <source>CRC Error, the update file is damaged: record %1 fails its checksum.</source>
        <translation>CRC-Fehler, die Update-Datei ist beschädigt: Datensatz %1 besteht seine Prüfsumme nicht.</translation>
    </message>
    <message>
        <source>Error, the update file is damaged: record %1 has the length %2, too short for its checksum.</source>
        <translation>Fehler, die Update-Datei ist beschädigt: Datensatz %1 hat die Länge %2, zu kurz für seine Prüfsumme.</translation>
    </message>
    <message>
        <source>Error, the update file is damaged: it ends inside record %1.</source>
        <translation>Fehler, die Update-Datei ist beschädigt: Sie endet innerhalb von Datensatz %1.</translation>
    </message>
</context>
<context>
    <name>UpdateProtocol</name>
    <message>
        <source>No response from the Vellichord.  Please connect it and press Connect again.</source>
        <translation>Keine Antwort vom Vellichord.  Bitte schließen Sie es an und drücken Sie erneut „Verbinden“.</translation>
    </message>
    <message>
        <source>No response from the Vellichord.  Please connect it and run the update again.</source>
        <translation>Keine Antwort vom Vellichord.  Bitte schließen Sie es an und führen Sie das Update erneut aus.</translation>
    </message>
    <message>
        <source>Please disconnect and reconnect the Vellichord then press Update.</source>
        <translation>Bitte trennen Sie das Vellichord, schließen Sie es wieder an und drücken Sie dann „Aktualisieren“.</translation>
    </message>
    <message>
        <source>Please disconnect and reconnect the Vellichord, then run the update again.</source>
        <translation>Bitte trennen Sie das Vellichord, schließen Sie es wieder an und führen Sie das Update dann erneut aus.</translation>
    </message>
    <message>
        <source>The Vellichord stopped answering.  Please reconnect it and press Update again.</source>
        <translation>Das Vellichord antwortet nicht mehr.  Bitte schließen Sie es erneut an und drücken Sie wieder „Aktualisieren“.</translation>
    </message>
    <message>
        <source>The Vellichord stopped answering.  Please reconnect it and run the update again.</source>
        <translation>Das Vellichord antwortet nicht mehr.  Bitte schließen Sie es erneut an und führen Sie das Update erneut aus.</translation>
    </message>
    <message>
        <source>Lost the connection to the Vellichord.  Please connect it and press Update again.</source>
        <translation>Die Verbindung zum Vellichord ist verloren.  Bitte schließen Sie es an und drücken Sie erneut „Aktualisieren“.</translation>
    </message>
    <message>
        <source>Lost the connection to the Vellichord.  Please connect it and run the update again.</source>
        <translation>Die Verbindung zum Vellichord ist verloren.  Bitte schließen Sie es an und führen Sie das Update erneut aus.</translation>
    </message>
    <message>
        <source>Update stopped before any of the update was sent.</source>
        <translation>Update angehalten, bevor etwas vom Update gesendet wurde.</translation>
    </message>
    <message>
        <source>Please press Update to continue.</source>
        <translation>Bitte drücken Sie „Aktualisieren“, um fortzufahren.</translation>
    </message>
    <message>
        <source>Updating Vellichord, please don&apos;t unplug the device during the transfer.</source>
        <translation>Vellichord wird aktualisiert, bitte trennen Sie das Gerät während der Übertragung nicht.</translation>
    </message>
    <message>
        <source>Update stopped. The Vellichord needs a complete update: run the update again.</source>
        <translation>Update angehalten. Das Vellichord braucht ein vollständiges Update: Führen Sie das Update erneut aus.</translation>
    </message>
    <message>
        <source>CRC Error in update file.  Please download the latest update and try again.</source>
        <translation>CRC-Fehler in der Update-Datei.  Bitte laden Sie das neueste Update herunter und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>Error in update file.  Please download the latest update and try again.</source>
        <translation>Fehler in der Update-Datei.  Bitte laden Sie das neueste Update herunter und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>The Vellichord ended the update after %1 of %2 records.</source>
        <translation>Das Vellichord hat das Update nach %1 von %2 Datensätzen beendet.</translation>
    </message>
    <message>
        <source>Unknown error.  Update probably failed.</source>
        <translation>Unbekannter Fehler.  Das Update ist wahrscheinlich fehlgeschlagen.</translation>
    </message>
    <message>
        <source>The Vellichord took every record but did not confirm the update. It may still be in update mode: reconnect it and run the update again.</source>
        <translation>Das Vellichord hat jeden Datensatz angenommen, das Update aber nicht bestätigt. Es ist vielleicht noch im Update-Modus: Schließen Sie es erneut an und führen Sie das Update erneut aus.</translation>
    </message>
    <message>
        <source>Transfer Complete.</source>
        <translation>Übertragung abgeschlossen.</translation>
    </message>
    <message>
        <source>Update refused: %1 is updating the Vellichord&apos;s firmware</source>
        <translation>Aktualisieren abgelehnt: %1 aktualisiert die Firmware des Vellichord</translation>
    </message>
    <message>
        <source>Please open the update file.</source>
        <translation>Bitte öffnen Sie die Update-Datei.</translation>
    </message>
</context>
</TS>
