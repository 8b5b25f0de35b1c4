#ifndef VYRSIM_CODES_H
#define VYRSIM_CODES_H

/*
 * The numbers the simulated module and its control calls share with their
 * callers: status codes, the quality gate's bounds, the match threshold and
 * the frame sources. vyrsim.h exports them as they stand here. The module's
 * own stages include this header, not vyrsim.h: the calls vyrsim.h declares
 * are made by the entry points, above every stage. Plain C, as vyrsim.h is.
 */

/* Status codes of the simulated module. 0 is success everywhere. */
enum {
    VYRSIM_OK = 0,
    VYRSIM_ERR_NO_DEVICE = -1, /* no module attached, device closed or wrong handle */
    VYRSIM_ERR_BAD_ARGUMENT = -2, /* null pointer, count, page or buffer out of range */
    VYRSIM_ERR_COMMUNICATION = 1, /* the default code of an injected fault */
    VYRSIM_ERR_NO_FINGER = 2,
    VYRSIM_ERR_FEATURE = 6, /* no usable image to make a feature from */
    VYRSIM_ERR_NO_MATCH = 9,
    VYRSIM_ERR_MERGE = 10, /* the two features are not of one finger */
    VYRSIM_ERR_BAD_ID = 11, /* template ID outside the store */
    VYRSIM_ERR_EMPTY = 12, /* no feature in the buffer, no template under the ID */
    VYRSIM_ERR_FILE = 13,
    VYRSIM_ERR_TEMPLATE = 14, /* a template block that is short, damaged or foreign */
    VYRSIM_ERR_PASSWORD = 19,
    /* A replay: the call is not the one the recording holds next, or the
       recording was refused; the recording holds no further call. Every
       call after the first such one fails the same way. */
    VYRSIM_ERR_REPLAY = 90,
    VYRSIM_ERR_REPLAY_END = 91
};

/* The quality gate of VYRGenChar: a frame makes a feature only when print
   covers at least VYRSIM_GATE_MIN_PRINT_PERCENT of it, print of usable
   quality (clear, parallel, contrasted ridges) at least
   VYRSIM_GATE_MIN_USABLE_PERCENT, and at least VYRSIM_GATE_MIN_MINUTIAE
   reliable minutiae were found. Otherwise it fails with VYRSIM_ERR_FEATURE. */
enum {
    VYRSIM_GATE_MIN_PRINT_PERCENT = 25,
    VYRSIM_GATE_MIN_USABLE_PERCENT = 20,
    VYRSIM_GATE_MIN_MINUTIAE = 10
};

/* Scores of VYRMatch and VYRSearch are integers from 0; a pair of
   templates matches from VYRSIM_MATCH_THRESHOLD on. A score is calibrated
   on impostors, the same on any sensor that sees a whole press: at 50, at
   most 1 in 10,000 pairs of presses of different real fingers match,
   pooled over sensors, and as few synthetic ones. Presses that show only a
   small part of a finger fare worse: 2.5 in 10,000 at 50 on central crops
   of the real prints (README).
   Presses of one finger score higher the more minutiae they share and the
   more of their neighbourhoods agree, weighed against how many minutiae
   both sides offered, each as far as it is reliable, since chance finds
   more among more, and by how alike their ridges run once laid on each
   other. A template from before the module kept its ridges is scored on
   its minutiae alone, on a scale of its own set the same way on whole
   presses; on small ones it holds less well still (README). */
enum { VYRSIM_MATCH_THRESHOLD = 50 };

/* Frame sources for uploads. */
enum {
    VYRSIM_FRAMES_SYNTHETIC = 0, /* fingerprints and empty sensor frames */
    VYRSIM_FRAMES_COUNTER = 1 /* every byte of upload n is n modulo 256 (n counts from 1) */
};

#endif /* VYRSIM_CODES_H */
