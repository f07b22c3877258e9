/* IDs that host and module both name, written once: the host's object types,
 * the parameters of those objects that either side reads or writes, and the
 * plug-in IDs the module registers. Scene files store objects and parameters
 * under these numbers, so they never change.
 *
 * The names are the host's own (object types `O...`, parameters
 * `OBJECT_PARAMETER`); the module, the stand-in host and the tests all use
 * them from here. */
#ifndef HA_IDS_H
#define HA_IDS_H

/* Object types of the host (plug-in objects aside). */
enum {
  Obase = 5155, /* the base of every object: a link that accepts Obase accepts any object */
  Ospline = 5101,
  Onull = 5140,
  Oextrude = 5116,
  Ocloner = 1018544,
  Osplinewrap = 1019221
};

/* Parameters of spline objects and of the spline primitives (generators that
 * return a spline, such as the arrow). The arrow's description shows the
 * point parameters and the plane and reverse switches under its own names. */
enum {
  SPLINEOBJECT_INTERPOLATION = 1001,    /* how intermediate points are made: 0 none .. 4 subdivided */
  SPLINEOBJECT_CLOSED = 1002,           /* the spline is closed (Bool) */
  SPLINEOBJECT_POINT_COUNT = 1003,      /* intermediate points per segment */
  SPLINEOBJECT_POINT_ANGLE = 1004,      /* angle of adaptive intermediate points (radians) */
  SPLINEOBJECT_POINT_MAX_LENGTH = 1005, /* maximum segment length of intermediate points */
  SPLINEPRIMITIVE_PLANE = 2300,         /* 0 XY, 1 ZY, 2 XZ */
  SPLINEPRIMITIVE_REVERSE = 2301        /* reverse the point order (Bool) */
};

/* Parameters of the Extrude object. */
enum {
  EXTRUDEOBJECT_MOVE = 1002,   /* the movement (vector) */
  EXTRUDE_START_CAP = 2000,    /* cap settings: 1 plain cap, 3 rounded cap */
  EXTRUDE_END_CAP = 2001,
  EXTRUDE_START_FILLET = 2003, /* steps of a rounded cap */
  EXTRUDE_END_FILLET = 2004,
  EXTRUDE_START_RADIUS = 2005, /* radius of a rounded cap */
  EXTRUDE_END_RADIUS = 2006,
  EXTRUDE_FILLET_ON = 2009     /* rounded caps switched on (Bool) */
};

/* Parameters of the Cloner object. */
enum {
  CLONER_OBJECT_LINK = 1015,  /* the object (path) clones are placed along */
  CLONER_FLAG = 1020,
  CLONER_OBJECT_COUNT = 1060, /* clones along the object */
  CLONER_OBJECT_RATE = 1063,  /* rate along the object */
  CLONER_LINEAR_COUNT = 1270, /* clones in a line */
  CLONER_LINEAR_STEP = 1271,  /* step between clones in a line */
  CLONER_MODE = 2010          /* 0 along an object, 1 linear */
};

/* Parameters of the Spline Wrap deformer. */
enum {
  SPLINEWRAP_SPLINE = 1001, /* the spline it follows (link) */
  SPLINEWRAP_MODE = 1012
};

/* Plug-in IDs the module registers. */
enum {
  ID_TOLVANE = 1025060,            /* the arrow object */
  ID_CUSTOMGUI_DOTS = 1035302,     /* the Dots interface element */
  ID_CUSTOMDATATYPE_DOTS = 1035303 /* the Dots data type */
};

#endif
