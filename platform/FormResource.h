#pragma once
// Form resources: the designed layout of a form class, as text.
//
//   object frmBase: TfrmBase              the root class's resource
//     Left = 192                          integer
//     Caption = 'frmBsCld'#13'x'          text: quoted parts ('' for a quote) and #n characters
//     Font.Name = '宋体'                   a property of a property
//     Position = poDesktopCenter          a value name
//     BorderIcons = [biSystemMenu]        a set
//     Items.Strings = ( 'a' 'b' )         a string list
//     Menu = mnuChildMain                 a reference to a component of the form
//     OnCreate = FormCreate               an event bound to a handler method of the form
//     Bands = < item Control = tblChildMain Width = 531 end >   a collection
//     object pnlLeft: TPanel              a component (owner: the form; parent: the
//       ...                               enclosing control or menu)
//     end
//   end
//
// A derived class's resource starts with `inherited` and lists only its changes:
// `inherited ctblChild: TCoolBar ... end` changes a component of an ancestor's
// resource, `object` adds one. A form class names its resource with
// Q_CLASSINFO("FormResource", "wnBase.form"); resources are embedded as
// :/forms/<name>. Every error names the resource and the line.
#include <QString>

#include "platform/Classes.h"

// Classes that a resource may name (the platform's controls are known already).
void RegisterComponentClass(TClass cls);
TClass FindComponentClass(const QString& className);
// A value name for integer and enumeration properties (alTop, clBtnFace, ...).
void RegisterResourceIdent(const QString& name, int value);
bool FindResourceIdent(const QString& name, int& value);

// The resource file named by the class's own Q_CLASSINFO (empty when none).
QString OwnFormResourceName(TClass cls);
// Reads the resources of the root's class chain into it, root class first, then
// binds events, resolves references and calls Loaded() on what was read.
void ReadFormResources(TComponent* root);
// Reads one resource text into `root` (names in errors use `resourceName`).
void ReadComponentResource(TComponent* root, const QString& resourceName, const QString& text);
