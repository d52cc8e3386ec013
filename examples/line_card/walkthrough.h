/* The line-card walkthrough: one step per library service. */
#ifndef LINE_CARD_WALKTHROUGH_H
#define LINE_CARD_WALKTHROUGH_H

/* Each step prints what it does and returns 0 when everything behaved as
 * described, non-zero otherwise. */
int walkthrough_registry(void);
int walkthrough_fields(void);

#endif
