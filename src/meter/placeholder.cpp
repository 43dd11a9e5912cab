namespace tarnlux_meter {}
