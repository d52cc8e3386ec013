/* SPDX-License-Identifier: Apache-2.0 */
/* The line-card walkthrough: one step per library service. */
#ifndef LINE_CARD_WALKTHROUGH_H
#define LINE_CARD_WALKTHROUGH_H

/* Each step prints what it does and returns 0 when everything behaved as
 * described, non-zero otherwise. */
int walkthrough_registry(void);
int walkthrough_fmea(void);
int walkthrough_trace(void);
int walkthrough_osal(void);
int walkthrough_wide(void);
int walkthrough_fields(void);

/* Runs every step in order; returns the number of steps that failed. */
int line_card_walkthrough(void);

#endif
