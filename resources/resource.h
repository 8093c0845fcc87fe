#pragma once

// The library's resource ids. Hosts and their own resources know the library by these numbers,
// so they never change. Each kind has its own prefix because the numbers repeat across kinds:
// 2002 is the menu and the zoom cursor, 2003 the Autofit Color box and the rotate cursor, 2005
// the Max edit and the Normal command, 2020 the modeling dialog and the Pick Sensor command.

// Dialog templates
#define IDD_CONTMAP3D_TIMEDOMAIN 2017
#define IDD_CONTMAP3D_FREQUENCY 2018
#define IDD_CONTMAP3D_MODELING 2020
#define IDD_CONTMAP3D_SPECTRAL 2021

// Menu bar of every dialog template: the View Mode pop-up
#define IDR_VIEWMODE 2002

// Cursor groups of the view modes
#define IDC_CURSOR_ZOOM 2002
#define IDC_CURSOR_ROTATE 2003
#define IDC_CURSOR_PICK 2004

// View Mode commands
#define ID_VIEW_NORMAL 2005
#define ID_VIEW_ZOOM 2007
#define ID_VIEW_ROTATE 2009
#define ID_VIEW_PICKSENSOR 2020

// Dialog controls. The time-domain and modeling templates hold the map in IDC_MAP_TIMEDOMAIN,
// the frequency and spectral ones in IDC_MAP_SPECTRUM.
#define IDC_STATIC (-1) // labels that no code refers to
#define IDC_MAP_TIMEDOMAIN 2001
#define IDC_AUTOFIT_COLOR 2003
#define IDC_EDIT_MIN 2004
#define IDC_EDIT_MAX 2005
#define IDC_UPDATE 2006
#define IDC_AUTOFIT_PLACE 2008
#define IDC_SENSORS 2010
#define IDC_SENSOR_ACT 2011
#define IDC_CONTOURMAP 2012
#define IDC_CONTOUR_ACT 2013
#define IDC_MARK_SELECTION 2014
#define IDC_MAP_SPECTRUM 2015
