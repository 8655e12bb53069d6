#pragma once

// Control ids of the "controlPanel" dialog resource, shared by the resource
// script and the code that connects the dialog to its owner. Plain macros,
// because the resource compiler reads this file too.
#define IDC_LOCAL_FIELD_DISPLAY 1001
#define IDC_ELECTRIC_FIELD_STRENGTH 1002
#define IDC_SPEED 1003
#define IDC_NUMBER 1004
#define IDC_CHARGE_RANGE 1005
#define IDC_SPHERE_RADII 1006
#define IDC_BOUNCE 1007
#define IDC_LABELS 1008
#define IDC_LOCAL_FIELDS 1009
#define IDC_NEUTRAL 1010
#define IDC_FILL 1011
// Each value's up-down buttons carry its edit box's id plus this.
#define IDC_SPIN_OFFSET 100
// Each value's label carries its edit box's id plus this; a toggle is its
// own label. The host writes the labels from the settings table.
#define IDC_LABEL_OFFSET 200
// The section frames, in the order of the settings table's sections.
#define IDC_SECTION_FIRST 1501
#define IDC_RESET 1510
